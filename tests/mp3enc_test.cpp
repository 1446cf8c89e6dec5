// The MP3 encoder libraries, loaded from the Plugins folder as the engines
// load them, judged by the files they produce: frame headers read back,
// tags counted, and the audio decoded by ffmpeg and mpg123.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <sstream>

#include "plugins/gogo/gogointerface.h"
#include "plugins/mp3enc/bladeinterface.h"
#include "tests/support/mp3check.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

constexpr int kLameStartDelay = 576 + 529;  // encoder delay plus decoder delay, in samples

class Plugin {
public:
    explicit Plugin(const std::string& file) : handle_(dlopen((BinDir() + "/Plugins/" + file).c_str(), RTLD_NOW)) {}
    ~Plugin() {
        if (handle_) dlclose(handle_);
    }
    bool loaded() const { return handle_ != nullptr; }
    template <typename Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(handle_ ? dlsym(handle_, name) : nullptr);
    }

private:
    void* handle_;
};

struct BeApi {
    explicit BeApi(const std::string& file)
        : plugin(file),
          init(plugin.Get<BEINITSTREAM>("beInitStream")),
          encode(plugin.Get<BEENCODECHUNK>("beEncodeChunk")),
          deinit(plugin.Get<BEDEINITSTREAM>("beDeinitStream")),
          close(plugin.Get<BECLOSESTREAM>("beCloseStream")),
          writeTag(plugin.Get<BEWRITEVBRHEADER>("beWriteVBRHeader")) {}
    Plugin plugin;
    BEINITSTREAM init;
    BEENCODECHUNK encode;
    BEDEINITSTREAM deinit;
    BECLOSESTREAM close;
    BEWRITEVBRHEADER writeTag;

    // Encodes as the engines do: chunks of the size asked for, then the flush.
    BE_ERR Encode(BE_CONFIG config, const std::vector<int16_t>& pcm, const std::string& path) const {
        uint32_t chunk = 0, room = 0;
        HBE_STREAM stream = nullptr;
        if (BE_ERR e = init(&config, &chunk, &room, &stream); e != BE_ERR_SUCCESSFUL) return e;
        std::vector<uint8_t> mp3(room);
        std::string out;
        uint32_t bytes = 0;
        BE_ERR result = BE_ERR_SUCCESSFUL;
        for (std::size_t at = 0; at < pcm.size() && result == BE_ERR_SUCCESSFUL; at += chunk) {
            std::vector<int16_t> block(pcm.begin() + at, pcm.begin() + std::min(pcm.size(), at + chunk));
            result = encode(stream, static_cast<uint32_t>(block.size()), block.data(), mp3.data(), &bytes);
            out.append(reinterpret_cast<char*>(mp3.data()), bytes);
        }
        if (result == BE_ERR_SUCCESSFUL) result = deinit(stream, mp3.data(), &bytes);
        out.append(reinterpret_cast<char*>(mp3.data()), bytes);
        close(stream);
        WriteFile(path, out);
        return result;
    }
};

BE_CONFIG LameConfig(uint32_t rate) {
    BE_CONFIG c{};
    c.dwConfig = BE_CONFIG_LAME;
    auto& l = c.format.LHV1;
    l.dwStructVersion = CURRENT_STRUCT_VERSION;
    l.dwStructSize = CURRENT_STRUCT_SIZE;
    l.dwSampleRate = rate;
    l.nMode = BE_MP3_MODE_JSTEREO;
    l.dwBitrate = 128;
    l.nPreset = LQP_NORMAL_QUALITY;
    l.dwMpegVersion = MPEG2;
    l.nVbrMethod = VBR_METHOD_DEFAULT;
    return c;
}

BE_CONFIG BladeConfig(uint32_t rate, uint8_t mode, uint16_t kbps) {
    BE_CONFIG c{};
    c.dwConfig = BE_CONFIG_MP3;
    c.format.mp3.dwSampleRate = rate;
    c.format.mp3.byMode = mode;
    c.format.mp3.wBitrate = kbps;
    return c;
}

std::set<int> Bitrates(const Mp3Scan& scan) {
    std::set<int> rates;
    for (std::size_t i = scan.tagged() ? 1 : 0; i < scan.frames.size(); ++i) rates.insert(scan.frames[i].kbps);
    return rates;
}

class Mp3EncoderTest : public ::testing::Test {
protected:
    ScratchDir dir;

    Mp3Scan Scan(const std::string& name) { return ScanMp3(ReadFile(dir / name)); }

    // Decodes cleanly with both decoders, lasts as long as the source to
    // within one frame and sounds like it. `gapless`: a LAME tag tells the
    // decoders the delay to cut.
    void ExpectFaithful(const std::string& name, const std::vector<int16_t>& source, int channels, bool gapless) {
        const Mp3Scan scan = Scan(name);
        ASSERT_FALSE(scan.frames.empty());
        EXPECT_EQ(scan.trailing, 0u);
        const int frameSamples = scan.frames[0].version == 1 ? 1152 : 576;
        const Decoded decoded = DecodeMp3(dir / name, channels);
        EXPECT_EQ(decoded.errors, "");
        const long sourceFrames = static_cast<long>(source.size()) / channels;
        const long decodedFrames = static_cast<long>(decoded.pcm.size()) / channels - (gapless ? 0 : kLameStartDelay);
        EXPECT_NEAR(decodedFrames, sourceFrames, frameSamples);
        EXPECT_GT(Compare(source, decoded.pcm, channels).correlation, 0.99);
    }
};

// ---- loading -------------------------------------------------------------

TEST(Mp3EncoderLibraries, ExportExactlyTheirEntryPointsByName) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> libraries = {
        {"Lame_Enc.so", {"beInitStream", "beEncodeChunk", "beDeinitStream", "beCloseStream", "beWriteVBRHeader"}},
        {"BladeEnc.so", {"beInitStream", "beEncodeChunk", "beDeinitStream", "beCloseStream", "beWriteVBRHeader"}},
        {"GoGo.so",
         {"MPGE_initializeWork", "MPGE_setConfigure", "MPGE_getConfigure", "MPGE_detectConfigure", "MPGE_processFrame",
          "MPGE_closeCoder", "MPGE_endCoder", "MPGE_getUnitStates", "MPGE_processTrack"}},
    };
    for (const auto& [file, names] : libraries) {
        Plugin plugin(file);
        ASSERT_TRUE(plugin.loaded()) << file << ": " << dlerror();
        for (const auto& name : names) EXPECT_NE(plugin.Get<void*>(name.c_str()), nullptr) << file << " " << name;
        const auto exported = RunCommand("nm -D --defined-only '" + BinDir() + "/Plugins/" + file + "' | awk '{print $3}'");
        std::istringstream lines(exported.out);
        std::set<std::string> found{std::istream_iterator<std::string>(lines), {}};
        EXPECT_EQ(found, std::set<std::string>(names.begin(), names.end())) << file;
    }
}


// ---- Lame_Enc.so ---------------------------------------------------------

class LameEncTest : public Mp3EncoderTest {
protected:
    BeApi lame{"Lame_Enc.so"};
    std::vector<int16_t> stereo44 = SineSweep(44100, 2, 2.0);
};

TEST_F(LameEncTest, CbrStereoCarriesEveryHeaderBitAndSoundsLikeTheSource) {
    BE_CONFIG c = LameConfig(44100);
    c.format.LHV1.nMode = BE_MP3_MODE_STEREO;
    c.format.LHV1.dwBitrate = 320;
    c.format.LHV1.dwMpegVersion = MPEG1;
    c.format.LHV1.bPrivate = c.format.LHV1.bCRC = c.format.LHV1.bCopyright = c.format.LHV1.bOriginal = 1;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "cbr.mp3"), BE_ERR_SUCCESSFUL);
    const Mp3Scan scan = Scan("cbr.mp3");
    ASSERT_FALSE(scan.tagged());
    for (const Mp3Frame& f : scan.frames) {
        ASSERT_EQ(f.version, 1);
        ASSERT_EQ(f.layer, 3);
        ASSERT_EQ(f.kbps, 320);
        ASSERT_EQ(f.sampleRate, 44100);
        ASSERT_EQ(f.mode, 0);
        ASSERT_TRUE(f.crc && f.privateBit && f.copyright && f.original);
        ASSERT_EQ(f.emphasis, 0);
    }
    ExpectFaithful("cbr.mp3", stereo44, 2, false);

    c.format.LHV1.bPrivate = c.format.LHV1.bCRC = c.format.LHV1.bCopyright = c.format.LHV1.bOriginal = 0;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "plain.mp3"), BE_ERR_SUCCESSFUL);
    const Mp3Frame plain = Scan("plain.mp3").frames.at(5);
    EXPECT_FALSE(plain.crc || plain.privateBit || plain.copyright || plain.original);
}

TEST_F(LameEncTest, LowRateSourcesEncodeAsMpeg2AndRefuseMpeg1OnlyBitrates) {
    const auto stereo22 = SineSweep(22050, 2, 2.0);
    BE_CONFIG c = LameConfig(22050);
    c.format.LHV1.dwBitrate = 160;
    ASSERT_EQ(lame.Encode(c, stereo22, dir / "low.mp3"), BE_ERR_SUCCESSFUL);
    const Mp3Scan scan = Scan("low.mp3");
    EXPECT_EQ(scan.frames.at(3).version, 2);
    EXPECT_EQ(scan.frames.at(3).sampleRate, 22050);
    EXPECT_EQ(scan.frames.at(3).mode, 1);
    EXPECT_EQ(Bitrates(scan), std::set<int>{160});
    ExpectFaithful("low.mp3", stereo22, 2, false);

    c.format.LHV1.dwBitrate = 320;
    EXPECT_EQ(lame.Encode(c, stereo22, dir / "no.mp3"), BE_ERR_INVALID_FORMAT_PARAMETERS);
    // MPEG1 lifts the same source to an MPEG-1 rate instead.
    c.format.LHV1.dwMpegVersion = MPEG1;
    ASSERT_EQ(lame.Encode(c, stereo22, dir / "up.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(Scan("up.mp3").frames.at(3).version, 1);
    EXPECT_EQ(Scan("up.mp3").frames.at(3).sampleRate, 32000);
}

TEST_F(LameEncTest, MonoModeTakesOneInputChannelAndResamplesOnRequest) {
    const auto mono = SineSweep(44100, 1, 2.0);
    BE_CONFIG c = LameConfig(44100);
    c.format.LHV1.nMode = BE_MP3_MODE_MONO;
    ASSERT_EQ(lame.Encode(c, mono, dir / "mono.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(Scan("mono.mp3").frames.at(3).mode, 3);
    ExpectFaithful("mono.mp3", mono, 1, false);

    c.format.LHV1.dwReSampleRate = 32000;
    ASSERT_EQ(lame.Encode(c, mono, dir / "32k.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(Scan("32k.mp3").frames.at(3).sampleRate, 32000);
}

TEST_F(LameEncTest, AbrAndVbrVaryTheBitrateWithinTheLimits) {
    BE_CONFIG c = LameConfig(44100);
    c.format.LHV1.dwBitrate = 0;
    c.format.LHV1.dwVbrAbr_bps = 128000;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "abr.mp3"), BE_ERR_SUCCESSFUL);
    const Mp3Scan abr = Scan("abr.mp3");
    EXPECT_GT(Bitrates(abr).size(), 1u);
    double sum = 0;
    for (const Mp3Frame& f : abr.frames) sum += f.kbps;
    EXPECT_NEAR(sum / abr.frames.size(), 128, 32);

    c = LameConfig(44100);
    c.format.LHV1.bEnableVBR = 1;
    c.format.LHV1.nVBRQuality = 2;
    c.format.LHV1.dwBitrate = 96;
    c.format.LHV1.dwMaxBitrate = 224;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "vbr.mp3"), BE_ERR_SUCCESSFUL);
    const std::set<int> rates = Bitrates(Scan("vbr.mp3"));
    EXPECT_GT(rates.size(), 1u);
    EXPECT_GE(*rates.begin(), 96);
    EXPECT_LE(*rates.rbegin(), 224);
    ExpectFaithful("vbr.mp3", stereo44, 2, false);
}

TEST_F(LameEncTest, VbrHeaderIsFilledInOnlyWhenAskedFor) {
    BE_CONFIG c = LameConfig(44100);
    c.format.LHV1.bEnableVBR = 1;
    c.format.LHV1.nVBRQuality = 4;
    c.format.LHV1.bWriteVBRHeader = 1;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "tag.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_FALSE(Scan("tag.mp3").tagged());  // a placeholder until the tag call
    ASSERT_EQ(lame.writeTag((dir / "tag.mp3").c_str()), BE_ERR_SUCCESSFUL);
    const Mp3Scan scan = Scan("tag.mp3");
    ASSERT_TRUE(scan.tagged());
    EXPECT_EQ(*scan.frames[0].xingFrames, scan.audioFrames());
    ExpectFaithful("tag.mp3", stereo44, 2, true);

    c.format.LHV1.bWriteVBRHeader = 0;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "untagged.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.writeTag((dir / "untagged.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_FALSE(Scan("untagged.mp3").tagged());
}

TEST_F(LameEncTest, WithoutTheBitReservoirNoFrameBorrows) {
    BE_CONFIG c = LameConfig(44100);
    const auto borrows = [](const Mp3Scan& scan) {
        return std::count_if(scan.frames.begin(), scan.frames.end(), [](const Mp3Frame& f) { return f.mainDataBegin > 0; });
    };
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "res.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_GT(borrows(Scan("res.mp3")), 0);
    c.format.LHV1.bNoRes = 1;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "nores.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(borrows(Scan("nores.mp3")), 0);
}

TEST_F(LameEncTest, PresetsOverrideTheRecord) {
    BE_CONFIG c = LameConfig(44100);
    c.format.LHV1.nPreset = LQP_PHONE;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "phone.mp3"), BE_ERR_SUCCESSFUL);
    const Mp3Scan phone = Scan("phone.mp3");
    EXPECT_EQ(phone.frames.at(3).mode, 3);
    EXPECT_LE(*Bitrates(phone).rbegin(), 32);

    c.format.LHV1.nPreset = LQP_CD;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "cd.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_GT(Bitrates(Scan("cd.mp3")).size(), 1u);  // CD is ABR at 192
}

TEST_F(LameEncTest, RejectsConfigurationsOutsideTheRecordForms) {
    const auto refused = [&](BE_CONFIG c) { return lame.Encode(c, stereo44, dir / "x.mp3"); };
    BE_CONFIG c = LameConfig(44100);
    c.dwConfig = 5;
    EXPECT_EQ(refused(c), BE_ERR_INVALID_FORMAT);
    c = LameConfig(44100);
    c.format.LHV1.nMode = 7;
    EXPECT_EQ(refused(c), BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = LameConfig(44100);
    c.format.LHV1.nPreset = 77;
    EXPECT_EQ(refused(c), BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = LameConfig(44100);
    c.format.LHV1.bEnableVBR = 1;
    c.format.LHV1.nVbrMethod = 9;
    EXPECT_EQ(refused(c), BE_ERR_INVALID_FORMAT_PARAMETERS);
    c.format.LHV1.nVbrMethod = VBR_METHOD_NEW;
    c.format.LHV1.nVBRQuality = 12;
    EXPECT_EQ(refused(c), BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = LameConfig(44100);
    c.format.LHV1.dwMpegVersion = MPEG1;
    c.format.LHV1.dwReSampleRate = 22050;
    EXPECT_EQ(refused(c), BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = LameConfig(0);
    EXPECT_EQ(refused(c), BE_ERR_INVALID_FORMAT_PARAMETERS);
}

TEST_F(LameEncTest, AnUnpairedLastSampleIsDropped) {
    BE_CONFIG c = LameConfig(44100);
    std::vector<int16_t> odd(stereo44.begin(), stereo44.end() - 1);
    ASSERT_EQ(lame.Encode(c, odd, dir / "odd.mp3"), BE_ERR_SUCCESSFUL);
    odd.pop_back();
    ExpectFaithful("odd.mp3", odd, 2, false);
}


// ---- BladeEnc.so ---------------------------------------------------------

class BladeEncTest : public Mp3EncoderTest {
protected:
    BeApi blade{"BladeEnc.so"};
};

TEST_F(BladeEncTest, TheRecordAloneSetsRateModeAndBitrate) {
    // Audio recorded at 22050 Hz but declared 44100 Hz plays at the declared rate.
    const auto stereo = SineSweep(22050, 2, 2.0);
    BE_CONFIG c = BladeConfig(44100, BE_MP3_MODE_DUALCHANNEL, 320);
    c.format.mp3.bCRC = c.format.mp3.bOriginal = 1;
    ASSERT_EQ(blade.Encode(c, stereo, dir / "dual.mp3"), BE_ERR_SUCCESSFUL);
    ASSERT_EQ(blade.writeTag((dir / "dual.mp3").c_str()), BE_ERR_SUCCESSFUL);
    const Mp3Scan scan = Scan("dual.mp3");
    for (const Mp3Frame& f : scan.frames) {
        ASSERT_EQ(f.sampleRate, 44100);
        ASSERT_EQ(f.kbps, 320);
        ASSERT_EQ(f.mode, 2);
        ASSERT_TRUE(f.crc && f.original && !f.copyright && !f.privateBit);
    }
    ExpectFaithful("dual.mp3", stereo, 2, true);

    const auto mono = SineSweep(48000, 1, 2.0);
    ASSERT_EQ(blade.Encode(BladeConfig(48000, BE_MP3_MODE_MONO, 128), mono, dir / "mono.mp3"), BE_ERR_SUCCESSFUL);
    ASSERT_EQ(blade.writeTag((dir / "mono.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(Scan("mono.mp3").frames.at(3).mode, 3);
    ExpectFaithful("mono.mp3", mono, 1, true);
}

TEST_F(BladeEncTest, RefusesWhatMpeg1BladeCannotEncode) {
    const auto pcm = SineSweep(44100, 2, 0.5);
    EXPECT_EQ(blade.Encode(BladeConfig(22050, 0, 128), pcm, dir / "x.mp3"), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(blade.Encode(BladeConfig(44100, 0, 144), pcm, dir / "x.mp3"), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(blade.Encode(BladeConfig(44100, BE_MP3_MODE_JSTEREO, 128), pcm, dir / "x.mp3"),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    BE_CONFIG lameForm = LameConfig(44100);
    EXPECT_EQ(blade.Encode(lameForm, pcm, dir / "x.mp3"), BE_ERR_INVALID_FORMAT);
}

// ---- GoGo.so -------------------------------------------------------------

struct GoGoRun {
    MERET end = -1;           // the first MPGE_processFrame result other than ME_NOERR
    uint32_t announced = 0;   // what MPGE_getConfigure(MG_COUNT_FRAME) said
    uint32_t frames = 0;      // calls that returned ME_NOERR
};

class GoGoTest : public Mp3EncoderTest {
protected:
    Plugin plugin{"GoGo.so"};
    using Settings = std::vector<std::array<UPARAM, 3>>;

    // The engine's sequence: configure, detect, ask for the frame count,
    // encode frame by frame, close and end.
    GoGoRun Run(const std::string& wav, const std::string& mp3, const Settings& settings) {
        const auto init = plugin.Get<MPGE_INITIALIZEWORK>("MPGE_initializeWork");
        const auto set = plugin.Get<MPGE_SETCONFIGURE>("MPGE_setConfigure");
        const auto get = plugin.Get<MPGE_GETCONFIGURE>("MPGE_getConfigure");
        const auto frame = plugin.Get<MPGE_PROCESSFRAME>("MPGE_processFrame");
        GoGoRun run;
        EXPECT_EQ(init(), ME_NOERR);
        const std::string in = dir / wav, out = dir / mp3;
        set(MC_INPUTFILE, MC_INPDEV_FILE, reinterpret_cast<UPARAM>(in.c_str()));
        set(MC_OUTPUTFILE, MC_OUTDEV_FILE, reinterpret_cast<UPARAM>(out.c_str()));
        for (const auto& [code, first, second] : settings) EXPECT_EQ(set(code, first, second), ME_NOERR) << code;
        plugin.Get<MPGE_DETECTCONFIGURE>("MPGE_detectConfigure")();
        get(MG_COUNT_FRAME, &run.announced);
        while ((run.end = frame()) == ME_NOERR) ++run.frames;
        plugin.Get<MPGE_CLOSECODER>("MPGE_closeCoder")();
        plugin.Get<MPGE_ENDCODER>("MPGE_endCoder")();
        return run;
    }
};

TEST_F(GoGoTest, CbrRunCountsItsFramesAndCarriesEmphasis) {
    const auto stereo = SineSweep(44100, 2, 2.0);
    WriteFile(dir / "in.wav", WavFile(stereo, 44100, 2));
    const Settings units = {{MC_USEMMX, 0, 0}, {MC_USEEMMX, 1, 0}, {MC_USE3DNOW, 0, 0}, {MC_USEE3DNOW, 1, 0},
                            {MC_USEKNI, 1, 0}, {MC_USESSE2, 1, 0}, {MC_USECMOV, 1, 0}, {MC_USEALTIVEC, 1, 0}};
    Settings settings = {{MC_ENCODEMODE, MC_MODE_STEREO, 0}, {MC_INPFREQ, 44100, 0}, {MC_OUTFREQ, 44100, 0},
                         {MC_USEPSY, 1, 0}, {MC_USELPF16, 1, 0}, {MC_EMPHASIS, MC_EMP_5015MS, 0},
                         {MC_ENCODE_QUALITY, 5, 0}, {MC_BITRATE, 192, 0}, {MC_WRITEVBRTAG, 1, 0}};
    settings.insert(settings.end(), units.begin(), units.end());
    const GoGoRun run = Run("in.wav", "cbr.mp3", settings);
    EXPECT_EQ(run.end, ME_EMPTYSTREAM);
    EXPECT_EQ(run.frames, run.announced);
    EXPECT_EQ(run.frames, (stereo.size() / 2 + 1151) / 1152);
    const Mp3Scan scan = Scan("cbr.mp3");
    EXPECT_TRUE(scan.tagged());  // the Info tag carries the encoder delay in every mode
    for (const Mp3Frame& f : scan.frames) {
        ASSERT_EQ(f.kbps, 192);
        ASSERT_EQ(f.mode, 0);
        ASSERT_EQ(f.emphasis, 1);
    }
    EXPECT_EQ(DecodeMp3(dir / "cbr.mp3", 2).errors, "");
}

TEST_F(GoGoTest, VbrAndAbrVaryTheBitrateAndEveryModeIsTagged) {
    const auto stereo = SineSweep(44100, 2, 2.0);
    WriteFile(dir / "in.wav", WavFile(stereo, 44100, 2));
    const GoGoRun vbr = Run("in.wav", "vbr.mp3", {{MC_VBR, 1, 0}, {MC_VBRBITRATE, 128, 320}, {MC_WRITEVBRTAG, 1, 0}});
    ASSERT_EQ(vbr.end, ME_EMPTYSTREAM);
    const Mp3Scan scan = Scan("vbr.mp3");
    ASSERT_TRUE(scan.tagged());
    EXPECT_EQ(*scan.frames[0].xingFrames, scan.audioFrames());
    const std::set<int> rates = Bitrates(scan);
    EXPECT_GE(*rates.begin(), 128);
    EXPECT_GT(rates.size(), 1u);
    ExpectFaithful("vbr.mp3", stereo, 2, true);

    ASSERT_EQ(Run("in.wav", "abr.mp3", {{MC_ABR, 1, 0}, {MC_BITRATE, 128, 0}, {MC_WRITELAMETAG, 1, 0}}).end,
              ME_EMPTYSTREAM);
    ASSERT_TRUE(Scan("abr.mp3").tagged());
    EXPECT_GT(Bitrates(Scan("abr.mp3")).size(), 1u);
    ExpectFaithful("abr.mp3", stereo, 2, true);

    ASSERT_EQ(Run("in.wav", "info.mp3", {{MC_BITRATE, 128, 0}, {MC_WRITELAMETAG, 1, 0}}).end, ME_EMPTYSTREAM);
    EXPECT_TRUE(Scan("info.mp3").tagged());
    ASSERT_EQ(Run("in.wav", "none.mp3", {{MC_VBR, 1, 0}}).end, ME_EMPTYSTREAM);
    EXPECT_TRUE(Scan("none.mp3").tagged());
}

// 8-bit mono, odd-sized, in WAVE_FORMAT_EXTENSIBLE, behind an odd-sized chunk.
std::string Extensible8BitMonoWav(const std::vector<int16_t>& pcm, int rate) {
    std::string data;
    for (int16_t s : pcm) data += static_cast<char>((s >> 8) + 128);
    if (data.size() % 2 == 0) data.pop_back();
    const auto le = [](uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
        return s;
    };
    const std::string pcmGuid("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    const std::string fmt = le(0xFFFE, 2) + le(1, 2) + le(rate, 4) + le(rate, 4) + le(1, 2) + le(8, 2) + le(22, 2) +
                            le(8, 2) + le(4, 4) + pcmGuid;
    std::string body = "WAVE" + std::string("LIST") + le(3, 4) + "abc" + '\0' + "fmt " + le(fmt.size(), 4) + fmt +
                       "data" + le(data.size(), 4) + data + '\0' + "junk" + le(0, 4);
    return "RIFF" + le(body.size(), 4) + body;
}

TEST_F(GoGoTest, WalksToTheDataOfAnyPcmWav) {
    const auto mono = SineSweep(44100, 1, 2.0);
    WriteFile(dir / "in.wav", Extensible8BitMonoWav(mono, 44100));
    const GoGoRun run = Run("in.wav", "out.mp3", {{MC_8BIT_PCM, 1, 0}, {MC_MONO_PCM, 1, 0}, {MC_BITRATE, 96, 0},
                                                 {MC_ENCODEMODE, MC_MODE_MONO, 0}, {MC_OUTFREQ, 32000, 0}});
    ASSERT_EQ(run.end, ME_EMPTYSTREAM);
    // One call takes the input of one 32 kHz frame: 1152 * 44100 / 32000 samples.
    EXPECT_EQ(run.frames, (mono.size() - 1 + 1587) / 1588);
    EXPECT_EQ(run.frames, run.announced);
    EXPECT_EQ(Scan("out.mp3").frames.at(3).sampleRate, 32000);
    EXPECT_EQ(Scan("out.mp3").frames.at(3).mode, 3);
    const Decoded decoded = DecodeMp3(dir / "out.mp3", 1);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_NEAR(static_cast<double>(decoded.pcm.size()) / 32000, 2.0, 1152.0 / 32000);
}

TEST_F(GoGoTest, FailuresAreErrorResults) {
    const auto stereo = SineSweep(44100, 2, 0.5);
    WriteFile(dir / "in.wav", WavFile(stereo, 44100, 2));
    GoGoRun run = Run("missing.wav", "a.mp3", {});
    EXPECT_EQ(run.end, ME_INFILE_NOFOUND);
    EXPECT_FALSE(Exists(dir / "a.mp3"));
    EXPECT_EQ(Run("in.wav", "b.mp3", {{MC_8BIT_PCM, 1, 0}}).end, ME_WAVETYPE_ERR);
    EXPECT_EQ(Run("in.wav", "c.mp3", {{MC_BITRATE, 100, 0}}).end, ME_BITRATEERROR);
    EXPECT_EQ(Run("in.wav", "d.mp3", {{MC_OUTFREQ, 37000, 0}}).end, ME_FREQERROR);
    EXPECT_EQ(Run("in.wav", "e.mp3", {{MC_EMPHASIS, 2, 0}}).end, ME_PARAMERROR);
    EXPECT_EQ(Run("in.wav", "no-folder/f.mp3", {}).end, ME_OUTFILE_NOFOUND);
    WriteFile(dir / "bad.wav", "RIFF\x10\0\0\0WAVEfmt \xff\xff\xff\x7f");
    EXPECT_EQ(Run("bad.wav", "g.mp3", {}).end, ME_WAVETYPE_ERR);
    // /dev/full takes the file open and refuses the bytes.
    ASSERT_EQ(std::system(("ln -s /dev/full '" + dir / "full.mp3" + "'").c_str()), 0);
    run = Run("in.wav", "full.mp3", {});
    EXPECT_EQ(run.end, ME_WRITEERROR);
}

// Rates no encoder can take are refused by the library itself, whoever
// calls it: LAME would otherwise resample 1 Hz into an endless stream.
TEST_F(LameEncTest, RefusesImpossibleInputRates) {
    for (uint32_t hz : {0u, 1u, 999u, 768001u, 0xFFFFFFFFu}) {
        BE_CONFIG c = LameConfig(hz);
        EXPECT_EQ(lame.Encode(c, stereo44, dir / "x.mp3"), BE_ERR_INVALID_FORMAT_PARAMETERS) << hz;
    }
}

// ABR as the VBR method aims at the middle of the limits rather than at a
// mean of 0, which LAME would turn into an 8 kHz stream.
TEST_F(LameEncTest, AbrVbrMethodUsesTheMeanOfTheLimits) {
    BE_CONFIG c = LameConfig(44100);
    c.format.LHV1.bEnableVBR = 1;
    c.format.LHV1.nVbrMethod = VBR_METHOD_ABR;
    // Noise makes LAME spend what it aims at; a sweep would leave it below.
    const auto noise = HalfScaleNoise(44100, 2, 2.0);
    for (auto [low, high] : {std::pair{96u, 160u}, {160u, 320u}}) {
        c.format.LHV1.dwBitrate = low;
        c.format.LHV1.dwMaxBitrate = high;
        ASSERT_EQ(lame.Encode(c, noise, dir / "abr.mp3"), BE_ERR_SUCCESSFUL);
        const Mp3Scan scan = Scan("abr.mp3");
        ASSERT_GT(scan.frames.size(), 10u);
        double sum = 0;
        for (const Mp3Frame& f : scan.frames) {
            EXPECT_EQ(f.sampleRate, 44100);
            sum += f.kbps;
        }
        EXPECT_NEAR(sum / scan.frames.size(), (low + high) / 2.0, (low + high) / 16.0) << low << "-" << high;
    }
}

// A rate the encoder cannot take is its own error result, never a 0 Hz
// stream (impossible WAV headers are the engine-failure table's).
TEST_F(GoGoTest, ImpossibleRatesAreFrequencyErrors) {
    WriteFile(dir / "in.wav", WavFile(SineSweep(44100, 2, 0.5), 44100, 2));
    for (UPARAM hz : {UPARAM{1}, UPARAM{999}, UPARAM{0xFFFFFFFFu}})
        EXPECT_EQ(Run("in.wav", "y.mp3", {{MC_INPFREQ, hz, 0}}).end, ME_FREQERROR) << hz;
    EXPECT_EQ(Run("in.wav", "z.mp3", {}).end, ME_EMPTYSTREAM);
}

}  // namespace
}  // namespace zelph::test
