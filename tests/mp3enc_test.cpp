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

using Lhv1 = decltype(BE_CONFIG{}.format.LHV1);

double MeanKbps(const Mp3Scan& scan) {
    double sum = 0;
    for (const Mp3Frame& f : scan.frames) sum += f.kbps;
    return sum / scan.frames.size();
}

// One LAME-form record on a source, and what its frames must show.
struct LameCase {
    const char* name;
    int rate, channels;
    void (*set)(Lhv1&);
    void (*check)(const Mp3Scan&);
    bool faithful = false;  // decodes like the source, lasting as long
    bool noise = false;     // noise makes LAME spend what it aims at; a sweep leaves it below
};

const LameCase kLameCases[] = {
    {"CBR carries every header bit", 44100, 2,
     [](Lhv1& l) {
         l.nMode = BE_MP3_MODE_STEREO, l.dwBitrate = 320, l.dwMpegVersion = MPEG1;
         l.bPrivate = l.bCRC = l.bCopyright = l.bOriginal = 1;
     },
     [](const Mp3Scan& scan) {
         ASSERT_FALSE(scan.tagged());
         for (const Mp3Frame& f : scan.frames) {
             ASSERT_EQ(std::tuple(f.version, f.layer, f.kbps, f.sampleRate, f.mode, f.emphasis),
                       std::tuple(1, 3, 320, 44100, 0, 0));
             ASSERT_TRUE(f.crc && f.privateBit && f.copyright && f.original);
         }
     }, true},
    {"no header bit unless asked", 44100, 2, [](Lhv1& l) { l.dwMpegVersion = MPEG1; },
     [](const Mp3Scan& scan) {
         for (const Mp3Frame& f : scan.frames) ASSERT_FALSE(f.crc || f.privateBit || f.copyright || f.original);
     }},
    {"low rates are MPEG-2", 22050, 2, [](Lhv1& l) { l.dwBitrate = 160; },
     [](const Mp3Scan& scan) {
         EXPECT_EQ(std::tuple(scan.frames.at(3).version, scan.frames.at(3).sampleRate, scan.frames.at(3).mode),
                   std::tuple(2, 22050, 1));
         EXPECT_EQ(Bitrates(scan), std::set<int>{160});
     }, true},
    {"MPEG1 lifts a low rate to an MPEG-1 one", 22050, 2, [](Lhv1& l) { l.dwBitrate = 320, l.dwMpegVersion = MPEG1; },
     [](const Mp3Scan& scan) { EXPECT_EQ(std::pair(scan.frames.at(3).version, scan.frames.at(3).sampleRate), std::pair(1, 32000)); }},
    {"mono takes one input channel", 44100, 1, [](Lhv1& l) { l.nMode = BE_MP3_MODE_MONO; },
     [](const Mp3Scan& scan) { EXPECT_EQ(scan.frames.at(3).mode, 3); }, true},
    {"resampled on request", 44100, 1, [](Lhv1& l) { l.nMode = BE_MP3_MODE_MONO, l.dwReSampleRate = 32000; },
     [](const Mp3Scan& scan) { EXPECT_EQ(scan.frames.at(3).sampleRate, 32000); }},
    {"ABR varies the bitrate about its mean", 44100, 2, [](Lhv1& l) { l.dwBitrate = 0, l.dwVbrAbr_bps = 128000; },
     [](const Mp3Scan& scan) {
         EXPECT_GT(Bitrates(scan).size(), 1u);
         EXPECT_NEAR(MeanKbps(scan), 128, 32);
     }},
    {"VBR stays within its limits", 44100, 2,
     [](Lhv1& l) { l.bEnableVBR = 1, l.nVBRQuality = 2, l.dwBitrate = 96, l.dwMaxBitrate = 224; },
     [](const Mp3Scan& scan) {
         const std::set<int> rates = Bitrates(scan);
         EXPECT_GT(rates.size(), 1u);
         EXPECT_GE(*rates.begin(), 96);
         EXPECT_LE(*rates.rbegin(), 224);
     }, true},
    {"the bit reservoir is used", 44100, 2, [](Lhv1&) {},
     [](const Mp3Scan& scan) { EXPECT_TRUE(std::ranges::any_of(scan.frames, [](auto& f) { return f.mainDataBegin > 0; })); }},
    {"without the bit reservoir no frame borrows", 44100, 2, [](Lhv1& l) { l.bNoRes = 1; },
     [](const Mp3Scan& scan) { EXPECT_TRUE(std::ranges::none_of(scan.frames, [](auto& f) { return f.mainDataBegin > 0; })); }},
    {"the phone preset overrides the record", 44100, 2, [](Lhv1& l) { l.nPreset = LQP_PHONE; },
     [](const Mp3Scan& scan) {
         EXPECT_EQ(scan.frames.at(3).mode, 3);
         EXPECT_LE(*Bitrates(scan).rbegin(), 32);
     }},
    {"the CD preset is ABR", 44100, 2, [](Lhv1& l) { l.nPreset = LQP_CD; },
     [](const Mp3Scan& scan) { EXPECT_GT(Bitrates(scan).size(), 1u); }},
    // ABR as the VBR method aims at the middle of the limits, not at a mean
    // of 0, which LAME would turn into an 8 kHz stream.
    {"ABR method aims at 128", 44100, 2,
     [](Lhv1& l) { l.bEnableVBR = 1, l.nVbrMethod = VBR_METHOD_ABR, l.dwBitrate = 96, l.dwMaxBitrate = 160; },
     [](const Mp3Scan& scan) {
         EXPECT_EQ(scan.frames.at(3).sampleRate, 44100);
         EXPECT_NEAR(MeanKbps(scan), 128, 16);
     }, false, true},
    {"ABR method aims at 240", 44100, 2,
     [](Lhv1& l) { l.bEnableVBR = 1, l.nVbrMethod = VBR_METHOD_ABR, l.dwBitrate = 160, l.dwMaxBitrate = 320; },
     [](const Mp3Scan& scan) { EXPECT_NEAR(MeanKbps(scan), 240, 30); }, false, true},
};

TEST_F(LameEncTest, EachRecordShowsInItsFrames) {
    for (const LameCase& c : kLameCases) {
        SCOPED_TRACE(c.name);
        const auto source = c.noise ? HalfScaleNoise(c.rate, c.channels, 2.0) : SineSweep(c.rate, c.channels, 2.0);
        BE_CONFIG config = LameConfig(c.rate);
        c.set(config.format.LHV1);
        ASSERT_EQ(lame.Encode(config, source, dir / "out.mp3"), BE_ERR_SUCCESSFUL);
        const Mp3Scan scan = Scan("out.mp3");
        ASSERT_GT(scan.frames.size(), 10u);
        c.check(scan);
        if (c.faithful) ExpectFaithful(dir / "out.mp3", Left(source, c.channels), c.channels);
    }
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
    ExpectFaithful(dir / "tag.mp3", Left(stereo44, 2), 2);
    EXPECT_NEAR(DecodeMp3(dir / "tag.mp3", 2).pcm.size(), stereo44.size(), 2 * 1152) << "the tag's delay is cut";

    c.format.LHV1.bWriteVBRHeader = 0;
    ASSERT_EQ(lame.Encode(c, stereo44, dir / "untagged.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.writeTag((dir / "untagged.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_FALSE(Scan("untagged.mp3").tagged());
}

// Records outside the forms, rates no encoder can take (LAME would resample
// 1 Hz into an endless stream) and what MPEG-1 Blade cannot encode are
// refused by the libraries themselves, whoever calls them.
TEST_F(LameEncTest, RefusesRecordsItCannotEncode) {
    const BeApi blade{"BladeEnc.so"};
    const auto lameWith = [](void (*set)(BE_CONFIG&), uint32_t rate = 44100) {
        BE_CONFIG c = LameConfig(rate);
        set(c);
        return c;
    };
    const std::tuple<const BeApi*, BE_CONFIG, BE_ERR> cases[] = {
        {&lame, lameWith([](BE_CONFIG& c) { c.dwConfig = 5; }), BE_ERR_INVALID_FORMAT},
        {&lame, lameWith([](BE_CONFIG& c) { c.format.LHV1.nMode = 7; }), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, lameWith([](BE_CONFIG& c) { c.format.LHV1.nPreset = 77; }), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, lameWith([](BE_CONFIG& c) { c.format.LHV1.bEnableVBR = 1, c.format.LHV1.nVbrMethod = 9; }),
         BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, lameWith([](BE_CONFIG& c) {
             c.format.LHV1.bEnableVBR = 1, c.format.LHV1.nVbrMethod = VBR_METHOD_NEW, c.format.LHV1.nVBRQuality = 12;
         }), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, lameWith([](BE_CONFIG& c) { c.format.LHV1.dwMpegVersion = MPEG1, c.format.LHV1.dwReSampleRate = 22050; }),
         BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, lameWith([](BE_CONFIG& c) { c.format.LHV1.dwBitrate = 320; }, 22050), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, LameConfig(0), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, LameConfig(1), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, LameConfig(999), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, LameConfig(768001), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&lame, LameConfig(0xFFFFFFFFu), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&blade, BladeConfig(22050, 0, 128), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&blade, BladeConfig(44100, 0, 144), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&blade, BladeConfig(44100, BE_MP3_MODE_JSTEREO, 128), BE_ERR_INVALID_FORMAT_PARAMETERS},
        {&blade, LameConfig(44100), BE_ERR_INVALID_FORMAT},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [api, config, error] = cases[i];
        EXPECT_EQ(api->Encode(config, stereo44, dir / "x.mp3"), error) << "case " << i;
    }
}

TEST_F(LameEncTest, AnUnpairedLastSampleIsDropped) {
    BE_CONFIG c = LameConfig(44100);
    std::vector<int16_t> odd(stereo44.begin(), stereo44.end() - 1);
    ASSERT_EQ(lame.Encode(c, odd, dir / "odd.mp3"), BE_ERR_SUCCESSFUL);
    odd.pop_back();
    ExpectFaithful(dir / "odd.mp3", Left(odd, 2), 2);
}


// ---- BladeEnc.so ---------------------------------------------------------

TEST_F(Mp3EncoderTest, BladesRecordAloneSetsRateModeAndBitrate) {
    const BeApi blade{"BladeEnc.so"};
    // Audio recorded at 22050 Hz but declared 44100 Hz plays at the declared rate.
    const auto stereo = SineSweep(22050, 2, 2.0);
    BE_CONFIG c = BladeConfig(44100, BE_MP3_MODE_DUALCHANNEL, 320);
    c.format.mp3.bCRC = c.format.mp3.bOriginal = 1;
    ASSERT_EQ(blade.Encode(c, stereo, dir / "dual.mp3"), BE_ERR_SUCCESSFUL);
    ASSERT_EQ(blade.writeTag((dir / "dual.mp3").c_str()), BE_ERR_SUCCESSFUL);
    for (const Mp3Frame& f : Scan("dual.mp3").frames) {
        ASSERT_EQ(f.sampleRate, 44100);
        ASSERT_EQ(f.kbps, 320);
        ASSERT_EQ(f.mode, 2);
        ASSERT_TRUE(f.crc && f.original && !f.copyright && !f.privateBit);
    }
    ExpectFaithful(dir / "dual.mp3", Left(stereo, 2), 2);

    const auto mono = SineSweep(48000, 1, 2.0);
    ASSERT_EQ(blade.Encode(BladeConfig(48000, BE_MP3_MODE_MONO, 128), mono, dir / "mono.mp3"), BE_ERR_SUCCESSFUL);
    ASSERT_EQ(blade.writeTag((dir / "mono.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(Scan("mono.mp3").frames.at(3).mode, 3);
    ExpectFaithful(dir / "mono.mp3", Left(mono, 1), 1);
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
        const auto set = plugin.Get<MPGE_SETCONFIGURE>("MPGE_setConfigure");
        const auto frame = plugin.Get<MPGE_PROCESSFRAME>("MPGE_processFrame");
        GoGoRun run;
        EXPECT_EQ(plugin.Get<MPGE_INITIALIZEWORK>("MPGE_initializeWork")(), ME_NOERR);
        const std::string in = dir / wav, out = dir / mp3;
        set(MC_INPUTFILE, MC_INPDEV_FILE, reinterpret_cast<UPARAM>(in.c_str()));
        set(MC_OUTPUTFILE, MC_OUTDEV_FILE, reinterpret_cast<UPARAM>(out.c_str()));
        for (const auto& [code, first, second] : settings) EXPECT_EQ(set(code, first, second), ME_NOERR) << code;
        plugin.Get<MPGE_DETECTCONFIGURE>("MPGE_detectConfigure")();
        plugin.Get<MPGE_GETCONFIGURE>("MPGE_getConfigure")(MG_COUNT_FRAME, &run.announced);
        while ((run.end = frame()) == ME_NOERR) ++run.frames;
        plugin.Get<MPGE_CLOSECODER>("MPGE_closeCoder")();
        plugin.Get<MPGE_ENDCODER>("MPGE_endCoder")();
        return run;
    }
};

// In every mode the run ends with the stream after the frames it announced,
// and the Info tag, which carries the encoder delay, counts them.
TEST_F(GoGoTest, EveryModeCountsItsFramesAndIsTagged) {
    const auto stereo = SineSweep(44100, 2, 2.0);
    WriteFile(dir / "in.wav", WavFile(stereo, 44100, 2));
    const Settings cbr = {{MC_ENCODEMODE, MC_MODE_STEREO, 0}, {MC_INPFREQ, 44100, 0}, {MC_OUTFREQ, 44100, 0},
                          {MC_USEPSY, 1, 0}, {MC_USELPF16, 1, 0}, {MC_EMPHASIS, MC_EMP_5015MS, 0},
                          {MC_ENCODE_QUALITY, 5, 0}, {MC_BITRATE, 192, 0}, {MC_WRITEVBRTAG, 1, 0},
                          {MC_USEMMX, 0, 0}, {MC_USEEMMX, 1, 0}, {MC_USE3DNOW, 0, 0}, {MC_USEE3DNOW, 1, 0},
                          {MC_USEKNI, 1, 0}, {MC_USESSE2, 1, 0}, {MC_USECMOV, 1, 0}, {MC_USEALTIVEC, 1, 0}};
    // The settings, whether the bitrate varies, its least, and every frame's mode and emphasis.
    const std::tuple<Settings, bool, int, std::pair<int, int>> runs[] = {
        {cbr, false, 192, {0, 1}},
        {{{MC_VBR, 1, 0}, {MC_VBRBITRATE, 128, 320}, {MC_WRITEVBRTAG, 1, 0}}, true, 128, {1, 0}},
        {{{MC_ABR, 1, 0}, {MC_BITRATE, 128, 0}, {MC_WRITELAMETAG, 1, 0}}, true, 0, {1, 0}},
        {{{MC_BITRATE, 128, 0}, {MC_WRITELAMETAG, 1, 0}}, false, 128, {1, 0}},
        {{{MC_VBR, 1, 0}}, true, 0, {1, 0}},
    };
    for (std::size_t i = 0; i < std::size(runs); ++i) {
        SCOPED_TRACE(i);
        const auto& [settings, varies, least, modeAndEmphasis] = runs[i];
        const GoGoRun run = Run("in.wav", "out.mp3", settings);
        ASSERT_EQ(run.end, ME_EMPTYSTREAM);
        EXPECT_EQ(run.frames, run.announced);
        EXPECT_EQ(run.frames, (stereo.size() / 2 + 1151) / 1152);
        const Mp3Scan scan = Scan("out.mp3");
        ASSERT_TRUE(scan.tagged());
        EXPECT_EQ(*scan.frames[0].xingFrames, scan.audioFrames());
        EXPECT_EQ(Bitrates(scan).size() > 1, varies);
        EXPECT_GE(*Bitrates(scan).begin(), least);
        for (const Mp3Frame& f : scan.frames) ASSERT_EQ(std::pair(f.mode, f.emphasis), modeAndEmphasis);
        ExpectFaithful(dir / "out.mp3", Left(stereo, 2), 2);
    }
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
    const Mp3Frame frame = Scan("out.mp3").frames.at(3);
    EXPECT_EQ(std::pair(frame.sampleRate, frame.mode), std::pair(32000, 3));
    ExpectFaithful(dir / "out.mp3", SineSweep(32000, 1, 2.0), 1);
}

TEST_F(GoGoTest, FailuresAreErrorResults) {
    WriteFile(dir / "in.wav", WavFile(SineSweep(44100, 2, 0.5), 44100, 2));
    EXPECT_EQ(Run("missing.wav", "a.mp3", {}).end, ME_INFILE_NOFOUND);
    EXPECT_FALSE(Exists(dir / "a.mp3"));
    EXPECT_EQ(Run("in.wav", "b.mp3", {{MC_8BIT_PCM, 1, 0}}).end, ME_WAVETYPE_ERR);
    EXPECT_EQ(Run("in.wav", "c.mp3", {{MC_BITRATE, 100, 0}}).end, ME_BITRATEERROR);
    EXPECT_EQ(Run("in.wav", "d.mp3", {{MC_OUTFREQ, 37000, 0}}).end, ME_FREQERROR);
    // A rate the encoder cannot take is its own error, never a 0 Hz stream.
    for (UPARAM hz : {UPARAM{1}, UPARAM{999}, UPARAM{0xFFFFFFFFu}})
        EXPECT_EQ(Run("in.wav", "y.mp3", {{MC_INPFREQ, hz, 0}}).end, ME_FREQERROR) << hz;
    EXPECT_EQ(Run("in.wav", "e.mp3", {{MC_EMPHASIS, 2, 0}}).end, ME_PARAMERROR);
    EXPECT_EQ(Run("in.wav", "no-folder/f.mp3", {}).end, ME_OUTFILE_NOFOUND);
    WriteFile(dir / "bad.wav", "RIFF\x10\0\0\0WAVEfmt \xff\xff\xff\x7f");
    EXPECT_EQ(Run("bad.wav", "g.mp3", {}).end, ME_WAVETYPE_ERR);
    // /dev/full takes the file open and refuses the bytes.
    ASSERT_EQ(std::system(("ln -s /dev/full '" + dir / "full.mp3" + "'").c_str()), 0);
    EXPECT_EQ(Run("in.wav", "full.mp3", {}).end, ME_WRITEERROR);
}

}  // namespace
}  // namespace zelph::test
