#include "tests/support/mp3check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "formats/bytereader.h"
#include "formats/waveheader.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

constexpr int kRates[3] = {44100, 48000, 32000};
constexpr int kKbps[2][16] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
                              {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

std::optional<Mp3Frame> ParseHeader(const uint8_t* h, int& length) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (h[1] >> 3) & 3, layerBits = (h[1] >> 1) & 3;
    const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
    if (versionBits == 1 || layerBits != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;  // layer III only, free format excluded
    Mp3Frame f;
    f.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    f.layer = 4 - layerBits;
    f.kbps = kKbps[f.version == 1 ? 0 : 1][bitrateIndex];
    f.sampleRate = kRates[rateIndex] / (f.version == 1 ? 1 : f.version == 2 ? 2 : 4);
    f.crc = !(h[1] & 1);
    f.privateBit = h[2] & 1;
    f.mode = h[3] >> 6;
    f.copyright = h[3] & 8;
    f.original = h[3] & 4;
    f.emphasis = h[3] & 3;
    length = (f.version == 1 ? 144000 : 72000) * f.kbps / f.sampleRate + ((h[2] >> 1) & 1);
    const int sideInfo = 4 + (f.crc ? 2 : 0);
    f.mainDataBegin = f.version == 1 ? (h[sideInfo] << 1 | h[sideInfo + 1] >> 7) : h[sideInfo];
    // The tag stands at a fixed distance from the header; a CRC does not move it.
    const int xingAt = 4 + (f.version == 1 ? (f.mode == 3 ? 17 : 32) : (f.mode == 3 ? 9 : 17));
    if (xingAt + 12 <= length && (!std::memcmp(h + xingAt, "Xing", 4) || !std::memcmp(h + xingAt, "Info", 4))) {
        ByteReader tag(std::span<const uint8_t>(h + xingAt + 4, 8));
        if (tag.BE32() & 1) f.xingFrames = tag.BE32();
    }
    return f;
}

// The highest correlation of `decoded` with `source` (channel 0, the
// encoder's delay searched for) and the lag where it is found.
struct Likeness {
    double correlation = 0;
    int lag = 0;
};

Likeness Compare(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels) {
    const auto correlate = [&](int lag, std::size_t first, std::size_t frames) {
        double sx = 0, sy = 0, sxy = 0;
        for (std::size_t i = first; i < first + frames; ++i) {
            const double x = source[i * channels], y = decoded[(i + lag) * channels];
            sx += x * x, sy += y * y, sxy += x * y;
        }
        return sx > 0 && sy > 0 ? sxy / std::sqrt(sx * sy) : 0.0;
    };
    const std::size_t sourceFrames = source.size() / channels, decodedFrames = decoded.size() / channels;
    Likeness best;
    constexpr int kMaxLag = 3000;
    // The lag is found in the sweep's middle, where one period is short
    // enough to pin it to the sample.
    const std::size_t window = std::min<std::size_t>(sourceFrames / 2, 8192), middle = sourceFrames / 2;
    for (int lag = 0; lag <= kMaxLag && middle + lag + window <= decodedFrames; ++lag) {
        const double c = correlate(lag, middle, window);
        if (c > best.correlation) best = {c, lag};
    }
    const std::size_t overlap = std::min(sourceFrames, decodedFrames - std::min<std::size_t>(decodedFrames, best.lag));
    best.correlation = correlate(best.lag, 0, overlap);
    return best;
}

}  // namespace

Mp3Scan ScanMp3(const std::string& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::size_t pos = 0;
    if (bytes.size() >= 10 && bytes.compare(0, 3, "ID3") == 0)
        pos = 10 + ((data[6] & 0x7F) << 21 | (data[7] & 0x7F) << 14 | (data[8] & 0x7F) << 7 | (data[9] & 0x7F));
    Mp3Scan scan;
    int length = 0;
    // Eight bytes hold a header and the side information's first field; the
    // smallest MPEG-2 frame (8 kbit/s) is 24 bytes long.
    while (pos + 8 <= bytes.size()) {
        auto frame = ParseHeader(data + pos, length);
        if (!frame || pos + length > bytes.size()) break;
        scan.frames.push_back(*frame);
        pos += length;
    }
    scan.trailing = bytes.size() - std::min(pos, bytes.size());
    return scan;
}

std::vector<int16_t> SineSweep(int rate, int channels, double seconds) {
    const int frames = static_cast<int>(rate * seconds);
    const double f0 = 100, f1 = 8000, k = std::log(f1 / f0) / seconds;
    std::vector<int16_t> pcm(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = 0.5 * std::sin(2 * M_PI * f0 * (std::exp(k * t) - 1) / k);
        for (int c = 0; c < channels; ++c) pcm[i * channels + c] = static_cast<int16_t>(32767 * v * (c ? 0.7 : 1));
    }
    return pcm;
}

std::vector<int16_t> HalfScaleNoise(int rate, int channels, double seconds) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> sample(-16384, 16383);
    std::vector<int16_t> pcm(static_cast<std::size_t>(rate * seconds) * channels);
    for (int16_t& s : pcm) s = static_cast<int16_t>(sample(random));
    return pcm;
}

std::string WavFile(const std::vector<int16_t>& pcm, int rate, int channels) {
    const auto dataSize = static_cast<uint32_t>(pcm.size() * 2);
    const WaveHeader h = MakeWaveHeader(static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), 16, dataSize);
    return std::string(reinterpret_cast<const char*>(&h), sizeof h) +
           std::string(reinterpret_cast<const char*>(pcm.data()), dataSize);
}

std::string WavAmongChunks(const std::vector<int16_t>& pcm, int rate, int channels) {
    std::string plain = WavFile(pcm, rate, channels);
    const std::string list("LIST\x04\0\0\0INFO", 12), tail("id3 \x10\0\0\0" "ID3 tag bytes!!!", 24);
    plain.insert(36, list);
    PutLE32(reinterpret_cast<uint8_t*>(plain.data()) + 4, static_cast<uint32_t>(plain.size() + tail.size() - 8));
    return plain + tail;
}

Decoded DecodeMp3(const std::string& path, int channels) {
    Decoded out;
    const std::string raw = path + ".raw";
    const auto ffmpeg = RunCommand("ffmpeg -nostdin -y -v error -i '" + path + "' -f s16le -ac " +
                                       std::to_string(channels) + " '" + raw + "'", true);
    const auto mpg123 = RunCommand("mpg123 -q -t '" + path + "'", true);
    out.errors = ffmpeg.out + mpg123.out;
    if (ffmpeg.status != 0) out.errors += "ffmpeg failed\n";
    if (mpg123.status != 0) out.errors += "mpg123 failed\n";
    const std::string bytes = ReadFile(raw);
    out.pcm.resize(bytes.size() / 2);
    std::memcpy(out.pcm.data(), bytes.data(), out.pcm.size() * 2);
    return out;
}

std::vector<int16_t> Left(const std::vector<int16_t>& pcm, int channels) {
    std::vector<int16_t> left;
    for (std::size_t i = 0; i < pcm.size(); i += channels) left.push_back(pcm[i]);
    return left;
}

void ExpectFaithful(const std::string& mp3, const std::vector<int16_t>& expected, int channels) {
    const Mp3Scan scan = ScanMp3(ReadFile(mp3));
    ASSERT_FALSE(scan.frames.empty());
    EXPECT_EQ(scan.trailing, 0u);
    const Decoded decoded = DecodeMp3(mp3, channels);
    EXPECT_EQ(decoded.errors, "");
    const auto left = Left(decoded.pcm, channels);
    const Likeness like = Compare(expected, left, 1);
    EXPECT_GT(like.correlation, 0.99);
    const int frameSamples = scan.frames[0].version == 1 ? 1152 : 576;
    EXPECT_NEAR(static_cast<double>(left.size()) - like.lag, static_cast<double>(expected.size()), frameSamples);
}

}  // namespace zelph::test
