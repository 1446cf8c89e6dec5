// The three MP3 encoder engines run on generated WAV files, their output
// judged by other decoders (ffmpeg, mpg123) and by its own frame headers.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "settings/settings.h"
#include "tests/support/enginecheck.h"
#include "tests/support/mp3check.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

constexpr int kFrame = 1152;

struct Mp3Engines : ::testing::Test {
    Mp3Engines() { ApplyDefaults(settings, dir.path()); }
    ScratchDir dir;
    ConverterSettings settings{};
    std::string mp3 = dir / "out.mp3";

    // The three engines, each with its block of the record.
    std::vector<std::pair<EngineProc, EngineSettings>> All() {
        return {{EncodeMp3Lame, &settings.lame}, {EncodeMp3Blade, &settings.blade}, {EncodeMp3GoGo, &settings.gogo}};
    }

    // Runs `engine` on `wav` (or on the source already written) at 10..100
    // of the bar; true when it succeeded.
    bool Run(EngineProc engine, EngineSettings params, const std::string& wav, bool stop = false) {
        if (!wav.empty()) WriteFile(dir / "in.wav", wav);
        const EngineResult result =
            RunEngine(engine, dir / "in.wav", mp3, params, {.stop = stop, .progressStart = 10, .progressSpan = 90});
        EXPECT_EQ(result.running, 0);
        EXPECT_TRUE(result.progress >= 10 && result.progress <= 100);
        if (result.succeeded) {
            EXPECT_EQ(result.progress, 100);
        }
        return result.succeeded == 1;
    }
};

// Each engine's default output and LAME's other modes: the Info tag counts
// the frames, and its encoder delay and padding let decoders give the exact
// length; the chunks around the data add no sample.
TEST_F(Mp3Engines, OutputsDecodeFaithfullyToTheSourcesExactLengthAndTagTheirFrames) {
    const auto sweep = SineSweep(44100, 2, 2.003);
    LameSettings abr = settings.lame, vbr = settings.lame;
    abr.bitrateMode = Mp3BitrateMode::kAbr;
    vbr.bitrateMode = Mp3BitrateMode::kVbr;
    auto runs = All();
    runs.insert(runs.end(), {{EncodeMp3Lame, &abr}, {EncodeMp3Lame, &vbr}});
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(Run(runs[i].first, runs[i].second, WavAmongChunks(sweep, 44100, 2)));
        ExpectFaithful(mp3, Left(sweep, 2), 2);
        EXPECT_EQ(DecodeMp3(mp3, 2).pcm.size(), sweep.size());
        EXPECT_EQ(RunCommand("mpg123 -q -s '" + mp3 + "' | wc -c").out, std::to_string(sweep.size() * 2) + "\n");
        const Mp3Scan scan = ScanMp3(ReadFile(mp3));
        ASSERT_TRUE(scan.tagged());
        EXPECT_EQ(*scan.frames[0].xingFrames, scan.audioFrames());
    }
}

// A mono source fills each engine's stereo mode (mono outputs: below).
TEST_F(Mp3Engines, AMonoSourceFillsTheStereoModes) {
    const auto mono = SineSweep(44100, 1, 2);
    settings.lame.channelMode = settings.gogo.channelMode = Mp3Channels::kJointStereo;
    settings.blade.channelMode = BladeChannels::kStereo;
    for (auto [engine, params] : All()) {
        ASSERT_TRUE(Run(engine, params, WavFile(mono, 44100, 1)));
        ExpectFaithful(mp3, mono, 2);
    }
}

TEST_F(Mp3Engines, EncodesSideBySideGiveTheBytesOfEncodesOneAfterAnother) {
    // Each library keeps its stream state (GoGo's encoder, LAME's tag frame)
    // per thread, so files encoded at once never mix.
    WriteFile(dir / "a.wav", WavFile(SineSweep(44100, 2, 3), 44100, 2));
    WriteFile(dir / "b.wav", WavFile(SineSweep(22050, 1, 2), 22050, 1));
    settings.lame.bitrateMode = Mp3BitrateMode::kVbr;
    for (auto [engine, params] : All()) {
        auto encode = [&, engine = engine, params = params](const std::string& name, const std::string& out) {
            return RunEngine(engine, dir / name, dir / out, params).succeeded == 1;
        };
        ASSERT_TRUE(encode("a.wav", "a1.mp3") && encode("b.wav", "b1.mp3"));
        bool a = false, b = false;
        std::thread first([&] { a = encode("a.wav", "a2.mp3"); });
        std::thread second([&] { b = encode("b.wav", "b2.mp3"); });
        first.join();
        second.join();
        ASSERT_TRUE(a && b);
        EXPECT_EQ(ReadFile(dir / "a2.mp3"), ReadFile(dir / "a1.mp3"));
        EXPECT_EQ(ReadFile(dir / "b2.mp3"), ReadFile(dir / "b1.mp3"));
    }
}

// A 1 kHz tone at half scale in one channel of a stereo pair, silence in
// the other.
std::vector<int16_t> ToneInOneChannel(int rate, double seconds, int toneChannel) {
    std::vector<int16_t> pcm(static_cast<std::size_t>(rate * seconds) * 2, 0);
    for (std::size_t f = 0; f < pcm.size() / 2; ++f)
        pcm[f * 2 + toneChannel] = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 1000.0 * f / rate));
    return pcm;
}

double Rms(const std::vector<int16_t>& pcm) {
    double sum = 0;
    for (int16_t s : pcm) sum += static_cast<double>(s) * s;
    return pcm.empty() ? 0 : std::sqrt(sum / pcm.size());
}

// Mono from a stereo source is the mix of both channels: a tone in either
// channel alone comes out at half its level, whichever channel holds it.
TEST_F(Mp3Engines, MonoOutputMixesBothChannels) {
    settings.lame.channelMode = settings.gogo.channelMode = Mp3Channels::kMono;
    settings.blade.channelMode = BladeChannels::kMono;
    const double toneRms = 16384 / std::sqrt(2.0);
    for (int toneChannel : {0, 1}) {
        const std::string wav = WavFile(ToneInOneChannel(44100, 1.0, toneChannel), 44100, 2);
        for (auto [engine, params] : All()) {
            ASSERT_TRUE(Run(engine, params, wav));
            EXPECT_EQ(ScanMp3(ReadFile(mp3)).frames.back().mode, 3);
            const Decoded decoded = DecodeMp3(mp3, 1);
            EXPECT_EQ(decoded.errors, "");
            // The middle of the file, away from the encoder's delay and fade-in.
            const std::vector<int16_t> middle(decoded.pcm.begin() + 11025, decoded.pcm.begin() + 33075);
            EXPECT_NEAR(Rms(middle) / toneRms, 0.5, 0.05) << "tone in channel " << toneChannel;
        }
    }
}

// A bitrate the frames cannot carry becomes the nearest one they can (MPEG-2:
// 160 kbit/s at most, MPEG-2.5: 64), a rate no MP3 carries the nearest one.
TEST_F(Mp3Engines, LowAndHighRateSourcesGetARateAndBitrateTheFramesCarry) {
    settings.lame.cbrBitrate = settings.gogo.bitrate = 320;
    struct Case { EngineProc engine; EngineSettings params; int source, rate, kbps; };
    for (const Case& c : {Case{EncodeMp3Lame, &settings.lame, 22050, 22050, 160}, {EncodeMp3Lame, &settings.lame, 8000, 8000, 64},
                          {EncodeMp3Lame, &settings.lame, 96000, 48000, 320}, {EncodeMp3GoGo, &settings.gogo, 11025, 11025, 64},
                          {EncodeMp3GoGo, &settings.gogo, 96000, 48000, 320}, {EncodeMp3Blade, &settings.blade, 12000, 44100, 320}}) {
        ASSERT_TRUE(Run(c.engine, c.params, WavFile(SineSweep(c.source, 2, 2), c.source, 2))) << c.source;
        const Mp3Frame last = ScanMp3(ReadFile(mp3)).frames.back();
        EXPECT_EQ(std::pair(last.sampleRate, last.kbps), std::pair(c.rate, c.kbps)) << c.source;
        EXPECT_EQ(DecodeMp3(mp3, 2).errors, "");
    }
}

TEST_F(Mp3Engines, BladeResamplesToItsRateKeepingPitchAndLength) {
    settings.blade.bitrate = 128;
    for (auto [from, to] : {std::pair{22050, 44100}, {48000, 32000}}) {
        settings.blade.sampleRate = to;
        ASSERT_TRUE(Run(EncodeMp3Blade, &settings.blade, WavFile(SineSweep(from, 2, 2), from, 2)));
        EXPECT_EQ(ScanMp3(ReadFile(mp3)).frames.back().sampleRate, to);
        ExpectFaithful(mp3, Left(SineSweep(to, 2, 2), 2), 2);
    }
}

TEST_F(Mp3Engines, OddSizedAndSingleChunkSources) {
    auto oneChunk = SineSweep(44100, 2, 1);
    oneChunk.resize(kFrame * 2);  // the LAME and Blade libraries' stereo chunk
    const auto sweep = SineSweep(44100, 2, 1.5);
    const std::string odd = CraftedWav(2, 44100, 16, WavFile(sweep, 44100, 2).substr(44) + "x");
    for (auto [engine, params] : {std::pair<EngineProc, EngineSettings>{EncodeMp3Lame, &settings.lame},
                                  {EncodeMp3Blade, &settings.blade}}) {
        ASSERT_TRUE(Run(engine, params, odd));
        ExpectFaithful(mp3, Left(sweep, 2), 2);
        ASSERT_TRUE(Run(engine, params, WavFile(oneChunk, 44100, 2)));
        EXPECT_EQ(DecodeMp3(mp3, 2).errors, "");
    }
}

TEST_F(Mp3Engines, StopAfterTheFirstBlockLeavesAnUnfinishedFile) {
    const std::string wav = WavFile(SineSweep(44100, 2, 3), 44100, 2);
    for (auto [engine, params] : All()) {
        ASSERT_TRUE(Run(engine, params, wav));
        const std::size_t full = ReadFile(mp3).size();
        EXPECT_FALSE(Run(engine, params, wav, true));
        ASSERT_TRUE(Exists(mp3));
        EXPECT_LT(ReadFile(mp3).size(), full / 10);
    }
}

TEST_F(Mp3Engines, RefusedSetupsFailTheJob) {
    const std::string wav = WavFile(SineSweep(44100, 2, 1), 44100, 2);
    settings.blade.bitrate = 999;
    EXPECT_FALSE(Run(EncodeMp3Blade, &settings.blade, wav));
    settings.gogo.bitrate = 999;
    EXPECT_FALSE(Run(EncodeMp3GoGo, &settings.gogo, wav));
}

// Through the command line, so that a Plugins folder of the test's own can
// stand beside a copy of the program.
TEST_F(Mp3Engines, TheFileReadsErrorOccuredForRefusedSetupsAndMissingEntryPoints) {
    const std::string wav = dir / "song.wav";
    WriteFile(wav, WavFile(SineSweep(44100, 2, 1), 44100, 2));
    const auto convert = [&](const std::string& program, const std::string& args) {
        return RunCommand("cd '" + dir.path() + "' && '" + program + "' --quiet --target lame --output-dir '" +
                          dir.path() + "' " + args + " '" + wav + "'").out;
    };
    EXPECT_EQ(convert(BinDir() + "/zelph-convert",
                      "--set lame.mpegVersion=1 --set lame.sampleRateMode=2 --set lame.resampleRate=22050"),
              "Error Occured\t" + wav + "\tMPEG-1 frames cannot carry 22050 Hz (32000, 44100 or 48000 Hz)\n");

    const auto lameFrom = [&](const std::string& library) {
        return convert(ConverterWithPlugins(dir / library, {{"Lame_Enc.so", library}}), "");
    };
    EXPECT_EQ(lameFrom("Lame_Enc.so"), "Done\t" + wav + "\n");
    EXPECT_EQ(lameFrom("LameWithoutTag.so"), "Error Occured\t" + wav + "\tPlugins/Lame_Enc.so lacks beWriteVBRHeader\n");
}

}  // namespace
}  // namespace zelph::test
