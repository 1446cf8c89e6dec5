// The WAV engine on sources of more than 16 bits, float samples and more
// than two channels, made by sox at test time: every sample of the 8- and
// 16-bit results is judged against sox's own float rendering of the same
// fold, and the dither is measured (tests/matrix_test.cpp takes such files
// through every target).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "codecs/samplereduction.h"
#include "codecs/wavpcmengine.h"
#include "formats/waveheader.h"
#include "settings/settings.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

std::vector<float> ReadFloats(const std::string& path) {
    const std::string bytes = ReadFile(path);
    std::vector<float> values(bytes.size() / 4);
    std::memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

struct Output {
    WaveHeader header{};
    std::vector<int> samples;  // signed, in steps of the output's size
};

Output ReadOutput(const std::string& path) {
    const std::string bytes = ReadFile(path);
    Output out;
    out.header = HeaderOf(bytes);
    const int size = out.header.bitsPerSample / 8;
    for (std::size_t at = 44; size > 0 && at + size <= bytes.size(); at += size)
        out.samples.push_back(size == 1 ? static_cast<uint8_t>(bytes[at]) - 128
                                        : static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | bytes[at + 1] << 8));
    return out;
}

struct Source {
    const char* name;
    const char* soxFormat;  // how sox writes the file
    int channels, rate;
    const char* foldToStereo;  // sox's remix of the same fold; empty for mono and stereo
};

// Surround and centre at 23170/32768 (-3 dB), the low-frequency channel dropped.
constexpr const char* kFold51 = "remix 1v1,3v0.707092,5v0.707092 2v1,3v0.707092,6v0.707092";
constexpr const char* kFold71 = "remix 1v1,3v0.707092,5v0.707092,7v0.707092 2v1,3v0.707092,6v0.707092,8v0.707092";

const Source kSources[] = {
    {"24-bit extensible", "-b 24 -t wav", 2, 48000, ""},
    {"24-bit plain", "-b 24 -t wavpcm", 2, 44100, ""},
    {"32-bit integer", "-b 32 -e signed -t wav", 2, 96000, ""},
    {"32-bit float", "-b 32 -e floating-point -t wav", 2, 192000, ""},
    {"64-bit float mono", "-b 64 -e floating-point -t wav", 1, 8000, ""},
    {"24-bit 5.1", "-b 24 -t wav", 6, 48000, kFold51},
    {"16-bit 5.1", "-b 16 -t wav", 6, 96000, kFold51},
    {"float 7.1", "-b 32 -e floating-point -t wav", 8, 48000, kFold71},
    {"24-bit 7.1 plain", "-b 24 -t wavpcm", 8, 384000, kFold71},
};

// A different tone in every channel, loud enough that a wrong gain shows and
// quiet enough that the fold never clips.
std::string MakeSource(const ScratchDir& dir, const Source& s, double seconds) {
    const std::string path = dir / "src.wav";
    std::string synth = " synth " + std::to_string(seconds);
    for (int c = 0; c < s.channels; ++c) synth += " sine " + std::to_string(200 + 170 * c);
    RunCommand("sox -n -r " + std::to_string(s.rate) + " -c " + std::to_string(s.channels) + " " + s.soxFormat +
               " " + path + synth + " vol 0.3");
    return path;
}

TEST(HiResWavSources, EverySampleOfEveryFormMatchesSoxsFold) {
    for (const Source& s : kSources) {
        SCOPED_TRACE(s.name);
        ScratchDir dir;
        const std::string source = MakeSource(dir, s, 0.25);
        ASSERT_EQ(RunCommand("sox " + source + " -t raw -e floating-point -b 32 " + dir / "ref.f32 " +
                             s.foldToStereo).status, 0);
        const std::vector<float> reference = ReadFloats(dir / "ref.f32");
        const int referenceChannels = s.channels == 1 ? 1 : 2;
        const std::size_t frames = static_cast<std::size_t>(s.rate / 4);
        ASSERT_EQ(reference.size(), frames * referenceChannels);

        for (WavPcmSettings form : {WavForm(1, 1), WavForm(1, 2), WavForm(2, 1), WavForm(2, 2)}) {
            SCOPED_TRACE(testing::Message() << "to " << static_cast<int>(form.channelMode) << " channels, " << static_cast<int>(form.sampleSizeMode) * 8 << " bits");
            const auto job = RunEngine(EncodeWavPcm, source, dir / "out.wav", &form);
            ASSERT_EQ(job.succeeded, 1);
            const Output out = ReadOutput(dir / "out.wav");
            EXPECT_EQ(out.header.channels, static_cast<int>(form.channelMode));
            EXPECT_EQ(out.header.sampleRate, static_cast<uint32_t>(s.rate));
            EXPECT_EQ(out.header.formatTag, 1);
            ASSERT_EQ(out.samples.size(), frames * static_cast<int>(form.channelMode));

            // Dithered rounding: never more than 1.5 steps off; the error's
            // spread is that of triangular dither, not of plain rounding.
            const double scale = static_cast<int>(form.sampleSizeMode) == 1 ? 128.0 : 32768.0;
            double worst = 0, squares = 0;
            for (std::size_t f = 0; f < frames; ++f)
                for (int c = 0; c < static_cast<int>(form.channelMode); ++c) {
                    // Mono keeps the (folded) left; a mono source feeds both sides.
                    const int from = c < referenceChannels ? c : 0;
                    const double error = out.samples[f * static_cast<int>(form.channelMode) + c] - reference[f * referenceChannels + from] * scale;
                    worst = std::max(worst, std::abs(error));
                    squares += error * error;
                }
            EXPECT_LT(worst, 1.5);
            const double rms = std::sqrt(squares / static_cast<double>(out.samples.size()));
            EXPECT_GT(rms, 0.4) << "no dither";
            EXPECT_LT(rms, 0.6);
        }
    }
}

TEST(HiResWavSources, DitherIsTriangularOverOneStepEachWay) {
    // A 24-bit level exactly on a 16-bit step gives that step, or one more
    // or less each an eighth of the time; half a step above it gives the
    // two neighbours equally often. Rounding alone, or rectangular dither,
    // gives other counts.
    struct Case {
        int32_t level;
        double shares[3];  // expected of step-1, step, step+1
    };
    for (const Case& c : {Case{1000 << 8, {0.125, 0.75, 0.125}}, Case{(1000 << 8) + 128, {0.0, 0.5, 0.5}},
                          Case{-(1000 << 8), {0.125, 0.75, 0.125}}}) {
        SCOPED_TRACE(c.level);
        ScratchDir dir;
        constexpr int kFrames = 40000;
        std::string data;
        for (int f = 0; f < 2 * kFrames; ++f)
            data += {static_cast<char>(c.level), static_cast<char>(c.level >> 8), static_cast<char>(c.level >> 16)};
        WriteFile(dir / "in.wav", CraftedWav(2, 48000, 24, data));
        WavPcmSettings stereo16 = WavForm(2, 2);
        ASSERT_EQ(RunEngine(EncodeWavPcm, dir / "in.wav", dir / "out.wav", &stereo16).succeeded, 1);
        const Output out = ReadOutput(dir / "out.wav");
        ASSERT_EQ(out.samples.size(), 2u * kFrames);
        const int step = c.level >= 0 ? c.level >> 8 : -((-c.level) >> 8);
        double counts[3] = {};
        for (int sample : out.samples) {
            ASSERT_GE(sample, step - 1);
            ASSERT_LE(sample, step + 1);
            counts[sample - step + 1] += 1.0 / out.samples.size();
        }
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(counts[i], c.shares[i], 0.01) << "step " << i - 1;
    }
}

TEST(HiResWavSources, FullScaleClipsAndUnknownSpeakerMasksFallBackToTheUsualLayout) {
    // Full-scale float beyond 1.0, and a 5.1 fold that adds up past full
    // scale, clip at the ends of the range instead of wrapping round.
    ScratchDir dir;
    std::string data;
    for (int f = 0; f < 800; ++f)
        for (int c = 0; c < 6; ++c) {
            const float value = (f / 10) % 2 ? 1.5f : (c == 0 ? -1.0f : -0.6f);
            data.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
    WaveHeader h = MakeWaveHeader(6, 8000, 32, static_cast<uint32_t>(data.size()));
    h.formatTag = kWaveFormatFloat;
    WriteFile(dir / "loud.wav", std::string(reinterpret_cast<const char*>(&h), sizeof h) + data);
    WavPcmSettings stereo16 = WavForm(2, 2);
    ASSERT_EQ(RunEngine(EncodeWavPcm, dir / "loud.wav", dir / "out.wav", &stereo16).succeeded, 1);
    const Output out = ReadOutput(dir / "out.wav");
    ASSERT_EQ(out.samples.size(), 1600u);
    for (int sample : out.samples) EXPECT_TRUE(sample >= 32766 || sample <= -32767) << sample;

    // A mask naming fewer speakers than there are channels is not trusted:
    // the third channel of three is the centre.
    WaveFormat three;
    three.header = MakeWaveHeader(3, 8000, 16, 0);
    three.channelMask = 0x3;
    SampleReducer reducer(three, 2, 16);
    const int16_t frame[3] = {0, 0, 16384};
    uint8_t folded[4];
    ASSERT_EQ(reducer.Convert(reinterpret_cast<const uint8_t*>(frame), 1, folded), 4u);
    for (int side = 0; side < 2; ++side) {
        const int16_t sample = static_cast<int16_t>(folded[2 * side] | folded[2 * side + 1] << 8);
        EXPECT_NEAR(sample, 11585, 1) << "centre at -3 dB on both sides";
    }
}

TEST(HiResWavSources, FloatSamplesWidenAsTheirDoublesAndBlocksDitherAsSingleSamples) {
    // The float reader is written for vector code; the double reader is the
    // plain one. The same values through both must give the same bytes,
    // including those that clip and NaN.
    std::vector<float> values = {std::nanf(""), INFINITY, -INFINITY, 1.5f, -1.5f, 1.0f, -1.0f, 0x1p-40f, -0x1p-32f,
                                 0x1.8p-32f, 0x1.4p-31f, 0x1.fffffep-9f, -0x1.fffffep-9f, 0x1p-8f, 0.999999f};
    for (int i = 0; i < 1000; ++i) values.push_back(std::sin(i * 0.37f) * std::pow(2.0f, -(i % 40)));
    std::vector<double> doubles(values.begin(), values.end());
    const std::size_t frames = values.size() / 2;
    auto reduce = [&](const void* samples, int bits) {
        WaveFormat source;
        source.header = MakeWaveHeader(2, 44100, bits, 0);
        source.header.formatTag = kWaveFormatFloat;
        std::vector<uint8_t> out(frames * 4);
        SampleReducer(source, 2, 16).Convert(static_cast<const uint8_t*>(samples), frames, out.data());
        return out;
    };
    EXPECT_EQ(reduce(values.data(), 32), reduce(doubles.data(), 64));

    // A block dithered in one go, or split at any size, matches a sample at a time.
    std::vector<int32_t> whole(1000), expected(whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<int32_t>(i * 2654435761u);
    TpdfDither one(16);
    for (std::size_t i = 0; i < whole.size(); ++i) expected[i] = one.Requantize(whole[i]);
    for (std::size_t split : {1u, 3u, 8u, 13u, 1000u}) {
        std::vector<int32_t> blocks = whole;
        TpdfDither dither(16);
        for (std::size_t at = 0; at < blocks.size(); at += split)
            dither.RequantizeInPlace(blocks.data() + at, std::min(split, blocks.size() - at));
        EXPECT_EQ(blocks, expected) << "blocks of " << split;
    }
}

}  // namespace
}  // namespace zelph::test
