#include <gtest/gtest.h>

#include <cstring>

#include "core/wavpcmengine.h"
#include "formats/waveheader.h"
#include "settings/settings.h"
#include "tests/support/scratch.h"

using namespace zelph;
using zelph::test::Exists;
using zelph::test::ReadFile;
using zelph::test::RunCommand;
using zelph::test::ScratchDir;
using zelph::test::WriteFile;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

std::string Wav(uint16_t channels, uint16_t bits, const std::string& data, const std::string& trailer = "") {
    const WaveHeader h = MakeWaveHeader(channels, 8000, bits, static_cast<uint32_t>(data.size()));
    return std::string(reinterpret_cast<const char*>(&h), sizeof h) + data + trailer;
}

WaveHeader HeaderOf(const std::string& file) {
    WaveHeader h{};
    std::memcpy(&h, file.data(), std::min(file.size(), sizeof h));
    return h;
}

struct Outcome {
    bool succeeded;
    bool running;
    int progress;
};

Outcome Convert(const std::string& source, const std::string& target, WavPcmSettings* pair,
                bool stop = false, int base = 0, int span = 100) {
    Job job;
    job.engineId = kEncWavPcm;
    job.sourcePath = source;
    job.targetPath = target;
    job.engineParams = pair;
    job.progress = base;
    job.progressSpan = span;
    job.stopRequested = stop;
    EncodeWavPcm(&job);
    return {job.succeeded == 1, job.running != 0, job.progress};
}

}  // namespace

TEST(WavPcmEngine, EverySourceFormToEveryTargetForm) {
    struct Source {
        uint16_t channels, bits;
        std::string data;
        std::string expected[4];  // mono 8, mono 16, stereo 8, stereo 16
    };
    const Source sources[] = {
        {1, 8, Bytes({0x80, 0xFF, 0x00}),
         {Bytes({0x80, 0xFF, 0x00}), Bytes({0, 0, 0, 0x7F, 0, 0x80}), Bytes({0x80, 0x80, 0xFF, 0xFF, 0, 0}),
          Bytes({0, 0, 0, 0, 0, 0x7F, 0, 0x7F, 0, 0x80, 0, 0x80})}},
        {2, 8, Bytes({0x90, 0x10}),
         {Bytes({0x90}), Bytes({0, 0x10}), Bytes({0x90, 0x10}), Bytes({0, 0x10, 0, 0x90})}},
        {1, 16, Bytes({0x34, 0x12, 0xFE, 0xFF}),
         {Bytes({0x92, 0x7F}), Bytes({0x34, 0x12, 0xFE, 0xFF}), Bytes({0x92, 0x92, 0x7F, 0x7F}),
          Bytes({0x34, 0x12, 0x34, 0x12, 0xFE, 0xFF, 0xFE, 0xFF})}},
        {2, 16, Bytes({0x34, 0x12, 0x78, 0x56}),
         {Bytes({0x92}), Bytes({0x34, 0x12}), Bytes({0x92, 0xD6}), Bytes({0x34, 0x12, 0x78, 0x56})}},
    };
    WavPcmSettings targets[] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}};
    ScratchDir dir;
    for (const Source& s : sources) {
        WriteFile(dir / "in.wav", Wav(s.channels, s.bits, s.data, std::string("id3 \x04\0\0\0abcd", 12)));
        for (int t = 0; t < 4; ++t) {
            SCOPED_TRACE(std::to_string(s.channels) + "ch " + std::to_string(s.bits) + "bit -> " + std::to_string(t));
            const Outcome result = Convert(dir / "in.wav", dir / "out.wav", &targets[t]);
            EXPECT_TRUE(result.succeeded);
            EXPECT_FALSE(result.running);
            const std::string out = ReadFile(dir / "out.wav");
            const WaveHeader h = HeaderOf(out);
            EXPECT_EQ(out.substr(44), s.expected[t]) << "the trailing tag chunk is not audio";
            EXPECT_EQ(h.channels, targets[t].channelMode);
            EXPECT_EQ(h.bitsPerSample, targets[t].sampleSizeMode * 8);
            EXPECT_EQ(h.blockAlign, h.channels * h.bitsPerSample / 8);
            EXPECT_EQ(h.byteRate, h.blockAlign * 8000u);
            EXPECT_EQ(h.sampleRate, 8000u);
            EXPECT_EQ(h.dataSize, s.expected[t].size());
            EXPECT_EQ(h.riffSize, s.expected[t].size() + 36);
        }
    }
}

TEST(WavPcmEngine, NullParametersCopyStereo16AndProgressStaysInItsStep) {
    ScratchDir dir;
    std::string data;
    for (int i = 0; i < 30000; ++i) data += static_cast<char>(i * 7);  // several blocks
    WriteFile(dir / "in.wav", Wav(2, 16, data));
    const Outcome result = Convert(dir / "in.wav", dir / "out.wav", nullptr, false, 10, 30);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.progress, 40);
    EXPECT_EQ(ReadFile(dir / "out.wav").substr(44), data);
}

TEST(WavPcmEngine, FailuresLeaveNoSuccess) {
    ScratchDir dir;
    WavPcmSettings mono8{1, 1}, bogus{3, 2};
    const std::string big = Wav(2, 16, std::string(100000, '\x11'));
    WriteFile(dir / "big.wav", big);

    auto missing = Convert(dir / "none.wav", dir / "out.wav", &mono8);
    EXPECT_FALSE(missing.succeeded);
    EXPECT_FALSE(missing.running);
    EXPECT_FALSE(Convert(dir / "big.wav", dir / "out.wav", &bogus).succeeded);
    EXPECT_FALSE(Convert(dir / "big.wav", dir / "no/such/folder/out.wav", &mono8).succeeded);

    WriteFile(dir / "24bit.wav", Wav(2, 24, std::string(60, '\0')));
    EXPECT_FALSE(Convert(dir / "24bit.wav", dir / "out.wav", &mono8).succeeded);

    auto stopped = Convert(dir / "big.wav", dir / "out.wav", nullptr, true);
    EXPECT_FALSE(stopped.succeeded);
    EXPECT_LT(ReadFile(dir / "out.wav").size(), big.size()) << "stops after the first block";

    // A full disk: the output cannot be written completely.
    auto full = zelph::test::WithFileSizeLimit(20000, [&] { return Convert(dir / "big.wav", dir / "full.wav", nullptr); });
    EXPECT_FALSE(full.succeeded);
}

TEST(WavPcmEngine, TruncatedSourceGivesAConsistentFile) {
    ScratchDir dir;
    WriteFile(dir / "in.wav", Wav(2, 16, std::string(4000, '\x20')).substr(0, 44 + 1003));
    WavPcmSettings mono16{1, 2};
    EXPECT_TRUE(Convert(dir / "in.wav", dir / "out.wav", &mono16).succeeded);
    const std::string out = ReadFile(dir / "out.wav");
    EXPECT_EQ(HeaderOf(out).dataSize, 500u) << "250 whole frames were there";
    EXPECT_EQ(out.size(), 544u);
}

TEST(WavPcmEngine, InPlaceReplacesTheSourceOnlyWhenComplete) {
    ScratchDir dir;
    const std::string temp = dir / "Temp-QOR-File";
    WriteFile(temp, Wav(1, 8, Bytes({0x80, 0x81})));
    EXPECT_TRUE(Convert(temp, "", nullptr).succeeded);
    EXPECT_EQ(ReadFile(temp).substr(44), Bytes({0, 0, 0, 0, 0, 1, 0, 1}));
    EXPECT_FALSE(Exists(temp + "(1)"));

    const std::string unusable = Wav(2, 24, std::string(60, '\0'));
    WriteFile(temp, unusable);
    EXPECT_FALSE(Convert(temp, "", nullptr).succeeded);
    EXPECT_EQ(ReadFile(temp), unusable);
    EXPECT_FALSE(Exists(temp + "(1)"));
}

TEST(WavPcmEngine, OutputOfRealFilesDecodesElsewhere) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=1:sample_rate=22050 -ac 2 "
                         "-metadata title=Song -c:a pcm_s16le -y " + dir / "ff.wav").status, 0);
    WavPcmSettings mono8{1, 1};
    ASSERT_TRUE(Convert(dir / "ff.wav", dir / "out.wav", &mono8).succeeded);
    const auto probe = RunCommand("ffprobe -v error -show_entries stream=channels,sample_rate,duration_ts "
                                  "-of csv=p=0 " + dir / "out.wav");
    EXPECT_EQ(probe.out, "22050,1,22050\n");
}
