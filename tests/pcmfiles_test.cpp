// The resampler the engines share, and the float mode of their threads (the
// WAV source and sink are judged through every engine's outputs).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "codecs/floatmode.h"
#include "codecs/resampler.h"

namespace zelph {
namespace {

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
