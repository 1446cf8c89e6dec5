// The Ogg Vorbis encoder judged by other tools: ogginfo for the stream's
// declarations and its health, oggdec and ffmpeg for the audio. And the
// three Vorbis/MP3 engines each failing alone when a codec library is gone.

#include <gtest/gtest.h>

#include <cmath>

#include "codecs/oggencoder.h"
#include "formats/probes.h"
#include "settings/settings.h"
#include "tests/support/enginecheck.h"
#include "tests/support/mp3check.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// `bitrateMode` as the record stores it (1 VBR, 2 ABR, 3 true VBR), so that
// unknown numbers can be tried too.
OggVorbisSettings Settings(int32_t bitrateMode) {
    OggVorbisSettings s{};
    s.bitrateMode = static_cast<OggBitrateMode>(bitrateMode);
    s.sampleRateMode = SampleRateMode::kFromSource;
    s.channelMode = OggChannels::kStereo;
    s.vbrQuality = 0.5f;
    s.abrBitrate = s.trueVbrBitrate = 128;
    s.resampleRate = 44100;
    return s;
}

// Left and right as two tones, 16-bit, `seconds` long.
std::vector<int16_t> Tones(int rate, int channels, double seconds, double left = 440, double right = 1000) {
    const std::size_t frames = static_cast<std::size_t>(rate * seconds);
    std::vector<int16_t> pcm(frames * channels);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * (c ? right : left) * i / rate));
    return pcm;
}

struct Encoded {
    EngineResult job;
    std::string info;       // what ogginfo printed
    bool infoClean = false; // ogginfo passed it without a warning
    PcmWav decoded;         // oggdec's decode
};

Encoded Encode(const ScratchDir& dir, const std::string& wav, OggVorbisSettings settings) {
    Encoded e;
    e.job = RunEngine(EncodeOggVorbis, wav, dir / "out.ogg", &settings);
    const auto info = RunCommand("ogginfo '" + dir / "out.ogg" + "'", true);
    e.info = info.out;
    e.infoClean = info.status == 0 && info.out.find("WARNING") == std::string::npos &&
                  info.out.find("ERROR") == std::string::npos;
    RunCommand("oggdec -Q -o '" + dir / "dec.wav" + "' '" + dir / "out.ogg" + "'");
    e.decoded = ReadPcmWav(dir / "dec.wav");
    return e;
}

TEST(EncodeOggVorbis, EachBitrateModeDeclaresWhatLibvorbisencWasAsked) {
    // The mode, its bitrate, the source's rate, and the nominal bitrate as ogginfo states it.
    const std::tuple<int32_t, int32_t, int, const char*> cases[] = {
        {1, 0, 44100, "160.000000"}, {2, 192, 44100, "192.000000"}, {2, 192, 22050, "160.000000"},
        {3, 128, 44100, "128.000000"}, {3, 192, 44100, "192.000000"}, {3, 192, 16000, "160.000000"}};
    std::size_t sizes[2] = {};  // at 192 kbit/s and 44.1 kHz in modes 2 and 3
    for (const auto& [mode, kbps, rate, nominal] : cases) {
        SCOPED_TRACE("mode " + std::to_string(mode) + " at " + std::to_string(rate));
        ScratchDir dir;
        WriteFile(dir / "in.wav", WavFile(SineSweep(rate, 2, 2.0), rate, 2));
        OggVorbisSettings settings = Settings(mode);
        settings.abrBitrate = settings.trueVbrBitrate = kbps;
        const Encoded e = Encode(dir, dir / "in.wav", settings);
        ExpectEnded(e.job, true);
        EXPECT_TRUE(e.infoClean) << e.info;
        EXPECT_NE(e.info.find("Nominal bitrate: " + std::string(nominal)), std::string::npos) << e.info;
        EXPECT_NE(e.info.find("Upper bitrate not set"), std::string::npos);
        EXPECT_NE(e.info.find("Lower bitrate not set"), std::string::npos);
        EXPECT_NE(DescribeOggFile(dir / "out.ogg").find(std::to_string(std::atoi(nominal)) + "Kbps"), std::string::npos);
        EXPECT_EQ(e.decoded.frames(), static_cast<std::size_t>(2 * rate));
        EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + dir / "out.ogg" + "' -f null -", true).out, "");
        // The audio's bytes, as ogginfo counts them, without the headers' room for tags.
        const std::size_t length = e.info.find("Total data length: ");
        ASSERT_NE(length, std::string::npos) << e.info;
        if (kbps == 192 && rate == 44100) sizes[mode - 2] = std::stoul(e.info.substr(length + 19));
    }
    // The same declaration, but only the average-managed mode holds the
    // bitrate up on material as plain as a sweep.
    EXPECT_LT(sizes[1] * 3, sizes[0] * 2);
}

// The stereo source has chunks before and after its data: exactly the data
// chunk is encoded.
TEST(EncodeOggVorbis, ChannelRulesAndTheDataChunkAlone) {
    ScratchDir dir;
    WriteFile(dir / "stereo.wav", WavAmongChunks(Tones(44100, 2, 1.0), 44100, 2));
    WriteFile(dir / "mono.wav", WavFile(Tones(44100, 1, 1.0), 44100, 1));
    OggVorbisSettings settings = Settings(1);

    Encoded stereo = Encode(dir, dir / "stereo.wav", settings);
    ASSERT_EQ(stereo.decoded.channels, 2);
    EXPECT_EQ(stereo.decoded.frames(), 44100u);
    EXPECT_NEAR(ToneFrequency(stereo.decoded.pcm, 2, 0, 44100), 440, 4.4);
    EXPECT_NEAR(ToneFrequency(stereo.decoded.pcm, 2, 1, 44100), 1000, 10);

    settings.channelMode = OggChannels::kMono;
    Encoded left = Encode(dir, dir / "stereo.wav", settings);
    ASSERT_EQ(left.decoded.channels, 1) << "the right channel is dropped, not mixed in";
    EXPECT_NEAR(ToneFrequency(left.decoded.pcm, 1, 0, 44100), 440, 4.4);

    settings.channelMode = OggChannels::kStereo;
    Encoded doubled = Encode(dir, dir / "mono.wav", settings);
    ASSERT_EQ(doubled.decoded.channels, 2);
    EXPECT_NEAR(ToneFrequency(doubled.decoded.pcm, 2, 1, 44100), 440, 4.4);
}

TEST(EncodeOggVorbis, ResamplingKeepsLengthAndPitch) {
    ScratchDir dir;
    WriteFile(dir / "in.wav", WavFile(Tones(44100, 2, 2.0), 44100, 2));
    for (int32_t rate : {22050, 48000, 8000}) {
        SCOPED_TRACE(rate);
        OggVorbisSettings settings = Settings(1);
        settings.sampleRateMode = SampleRateMode::kResample;
        settings.resampleRate = rate;
        const Encoded e = Encode(dir, dir / "in.wav", settings);
        EXPECT_EQ(e.job.succeeded, 1);
        EXPECT_TRUE(e.infoClean) << e.info;
        EXPECT_EQ(e.decoded.rate, rate);
        EXPECT_NEAR(static_cast<double>(e.decoded.frames()) / rate, 2.0, 0.01);
        EXPECT_NEAR(ToneFrequency(e.decoded.pcm, 2, 0, rate), 440, 4.4);
    }
}

TEST(EncodeOggVorbis, SerialNumbersDifferAndUnknownModesFail) {
    ScratchDir dir;
    WriteFile(dir / "in.wav", WavFile(Tones(44100, 2, 1.0), 44100, 2));
    OggVorbisSettings settings = Settings(1);
    EXPECT_EQ(RunEngine(EncodeOggVorbis, dir / "in.wav", dir / "a.ogg", &settings).succeeded, 1);
    EXPECT_EQ(RunEngine(EncodeOggVorbis, dir / "in.wav", dir / "b.ogg", &settings).succeeded, 1);
    EXPECT_NE(ReadFile(dir / "a.ogg").substr(14, 4), ReadFile(dir / "b.ogg").substr(14, 4));

    settings.bitrateMode = static_cast<OggBitrateMode>(4);
    EXPECT_EQ(RunEngine(EncodeOggVorbis, dir / "in.wav", dir / "d.ogg", &settings).succeeded, 0);
}

// Through the program, the default quality is oggenc's -q 5, and the audio
// is oggenc's to the bit.
TEST(OggVorbisConversions, TheDefaultIsOggencsQualityFive) {
    ScratchDir dir;
    WriteFile(dir / "w.wav", WavFile(SineSweep(44100, 2, 2.0), 44100, 2));
    EXPECT_EQ(RunCommand("cd " + dir.path() + " && mkdir ogg && " + BinDir() +
                         "/zelph-convert --quiet --output-dir ogg --target ogg w.wav >/dev/null && oggenc -Q -q 5 -o q5.ogg w.wav && "
                         "oggdec -Q -R -o q5.raw q5.ogg && oggdec -Q -R -o w.raw ogg/w.ogg && cmp q5.raw w.raw && echo same",
                         true).out, "same\n");
}

TEST(OggVorbisConversions, AMissingLibraryOrEntryPointFailsOnlyItsJob) {
    ScratchDir dir;
    WriteFile(dir / "w.wav", WavFile(SineSweep(22050, 2, 1.0), 22050, 2));
    ASSERT_EQ(RunCommand("cd " + dir.path() + " && lame --quiet w.wav m.mp3 && oggenc -Q -o o.ogg w.wav").status, 0);
    const auto run = [&](const std::string& name, const std::vector<std::pair<std::string, std::string>>& plugins,
                         const std::string& target, const std::string& files) {
        const std::string program = ConverterWithPlugins(dir / name, plugins);
        return RunCommand("cd " + dir.path() + " && " + program + " --quiet --jobs 1 --if-exists rename --output-dir " +
                          dir.path() + " --target " + target + " " + files).out;
    };
    const std::pair<std::string, std::string> mpg123{"Mpg123.so", "Mpg123.so"}, ogg{"Ogg.so", "Ogg.so"},
        vorbis{"Vorbis.so", "Vorbis.so"}, enc{"VorbisEnc.so", "VorbisEnc.so"};
    EXPECT_EQ(run("noMpg123", {ogg, vorbis}, "wav", "m.mp3 o.ogg"),
              "Error Occured\tm.mp3\tPlugins/Mpg123.so is missing\nDone\to.ogg\n");
    EXPECT_EQ(run("fakeMpg123", {{"Mpg123.so", "TestPlugin.so"}, ogg, vorbis}, "wav", "m.mp3 o.ogg"),
              "Error Occured\tm.mp3\tPlugins/Mpg123.so lacks mpg123_new\nDone\to.ogg\n");
    EXPECT_EQ(run("fakeVorbis", {mpg123, ogg, {"Vorbis.so", "TestPlugin.so"}, enc}, "wav", "o.ogg m.mp3"),
              "Error Occured\to.ogg\tPlugins/Vorbis.so lacks vorbis_info_init\nDone\tm.mp3\n");
    EXPECT_EQ(run("noEnc", {mpg123, ogg, vorbis}, "ogg", "w.wav"),
              "Error Occured\tw.wav\tPlugins/VorbisEnc.so is missing\n");
    EXPECT_EQ(run("fakeEnc", {mpg123, ogg, vorbis, {"VorbisEnc.so", "TestPlugin.so"}}, "ogg", "w.wav"),
              "Error Occured\tw.wav\tPlugins/VorbisEnc.so lacks vorbis_encode_init\n");
}

}  // namespace
}  // namespace zelph::test
