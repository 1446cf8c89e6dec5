// The engines' WAV source and sink, the resampler they share, and the float
// mode of their threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "codecs/floatmode.h"
#include "codecs/pcmfiles.h"
#include "codecs/resampler.h"
#include "support/scratch.h"

namespace zelph {
namespace {

using test::ScratchDir;

TEST(PcmFiles, SinkPatchesTheHeaderAndSourceReadsOnlyTheDataChunk) {
    ScratchDir dir;
    const std::string path = dir / "a.wav";
    std::vector<uint8_t> pcm(1002);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 7);
    {
        WavSink sink(path);
        ASSERT_TRUE(sink.ok());
        ASSERT_TRUE(sink.Write(pcm.data(), 500));
        ASSERT_TRUE(sink.Write(pcm.data() + 500, 502));
        ASSERT_TRUE(sink.Finish(1, 22050, 16));
    }
    // A trailing chunk after the data is not audio.
    test::WriteFile(path, test::ReadFile(path) + std::string("LIST\4\0\0\0abcd", 12));

    WavSource source(path);
    ASSERT_TRUE(source.ok());
    EXPECT_EQ(source.header().sampleRate, 22050u);
    EXPECT_EQ(source.header().channels, 1);
    EXPECT_EQ(source.dataOffset(), 44u);
    ASSERT_EQ(source.audioBytes(), pcm.size());
    std::vector<uint8_t> back(4096);
    std::size_t count = 0;
    ASSERT_TRUE(source.Read(back.data(), back.size(), count));
    ASSERT_EQ(count, pcm.size());
    EXPECT_EQ(std::memcmp(back.data(), pcm.data(), count), 0);
    EXPECT_TRUE(source.atEnd());
    ASSERT_TRUE(source.Read(back.data(), back.size(), count));
    EXPECT_EQ(count, 0u);
}

TEST(PcmFiles, SinkOnAFullDeviceFails) {
    WavSink sink("/dev/full");
    EXPECT_FALSE(sink.ok());
    const char byte = 0;
    EXPECT_FALSE(sink.Write(&byte, 1));
    EXPECT_FALSE(sink.Finish(2, 44100, 16));
}

// Zero crossings per second of one channel: twice the frequency of a sine.
double CrossingRate(const std::vector<float>& samples, unsigned channels, double rate) {
    int crossings = 0;
    for (std::size_t i = channels; i < samples.size(); i += channels)
        if ((samples[i - channels] < 0) != (samples[i] < 0)) ++crossings;
    return crossings / (static_cast<double>(samples.size() / channels) / rate) / 2;
}

TEST(Resampler, KeepsLengthAndPitchInBothDirections) {
    for (const auto& [from, to] : {std::pair{44100.0, 22050.0}, std::pair{8000.0, 48000.0}}) {
        const unsigned channels = 2;
        const std::size_t frames = static_cast<std::size_t>(from) * 2;
        std::vector<float> input(frames * channels);
        for (std::size_t f = 0; f < frames; ++f)
            for (unsigned c = 0; c < channels; ++c)
                input[f * channels + c] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 440 * f / from));
        Resampler resampler(from, to, channels);
        ASSERT_TRUE(resampler.ok());
        std::vector<float> out;
        // Odd block sizes, as engines hand them over.
        for (std::size_t at = 0; at < frames; at += 1000)
            ASSERT_TRUE(resampler.Process(input.data() + at * channels, std::min<std::size_t>(1000, frames - at), out));
        ASSERT_TRUE(resampler.Flush(out));
        EXPECT_NEAR(static_cast<double>(out.size() / channels), frames * to / from, 2) << from << "->" << to;
        EXPECT_NEAR(CrossingRate(out, channels, to), 440, 4.4) << from << "->" << to;
    }
}

// Denormal results are flushed and denormal operands read as zero only while
// a guard is held; an inner guard leaves the mode it found.
TEST(DenormalsFlushed, OnlyWhileHeld) {
    volatile float smallest = 1e-38f, denormal = 1e-41f;
    const auto flushed = [&] { return smallest * 1e-3f == 0.0f && denormal * 1.0f == 0.0f; };
    {
        const DenormalsFlushed outer;
        { const DenormalsFlushed inner; }
        EXPECT_TRUE(flushed());
    }
    EXPECT_FALSE(flushed());
}

}  // namespace
}  // namespace zelph
