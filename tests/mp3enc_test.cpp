// The MP3 encoder libraries, loaded from the Plugins folder as the engines
// load them, judged by the files they produce: frame headers read back,
// tags counted, and the audio decoded by ffmpeg and mpg123.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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
        {"BladeEnc.so", {"beInitStream", "beEncodeChunk", "beDeinitStream", "beCloseStream"}},
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

}  // namespace
}  // namespace zelph::test
