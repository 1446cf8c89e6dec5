#include "codecs/samplereduction.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "codecs/floatmode.h"

namespace zelph {

namespace {

// One widening loop per sample type, so that the per-sample work has no branch on the type.
void Widen8(const uint8_t* in, std::size_t samples, int32_t* out) {
    for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<int32_t>(uint32_t(in[i] ^ 0x80u) << 24);
}
void Widen16(const uint8_t* in, std::size_t samples, int32_t* out) {
    for (std::size_t i = 0; i < samples; ++i, in += 2) out[i] = static_cast<int32_t>(uint32_t(in[0] | in[1] << 8) << 16);
}
void Widen24(const uint8_t* in, std::size_t samples, int32_t* out) {
    for (std::size_t i = 0; i < samples; ++i, in += 3)
        out[i] = static_cast<int32_t>(uint32_t(in[0]) << 8 | uint32_t(in[1]) << 16 | uint32_t(in[2]) << 24);
}
void Widen32(const uint8_t* in, std::size_t samples, int32_t* out) {
    for (std::size_t i = 0; i < samples; ++i, in += 4)
        out[i] = static_cast<int32_t>(uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 |
                                      uint32_t(in[3]) << 24);
}

// Full scale 1.0 is 2^31; louder samples clip, NaN (a damaged file) is silence.
int32_t FloatToWide(double value) {
    const double scaled = value * 2147483648.0;
    if (!(scaled == scaled)) return 0;
    if (scaled >= 2147483647.0) return INT32_MAX;
    if (scaled <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(std::lrint(scaled));
}
// The same for a float, written with selects rather than branches and lrint,
// so that the compiler turns the loop into vector code. Loud samples stop at
// the largest float below 2^31, 127 below INT32_MAX: too little for any
// 8- or 16-bit result to tell apart.
int32_t FloatToWide(float value) {
    // NaN fails the test and ends as silence.
    const float scaled = value == value ? value * 0x1p31f : 0.0f;
    const float magnitude = std::fabs(scaled);
    // Adding and taking away 2^23 rounds to the nearest integer, ties to even;
    // floats of 2^23 and more are whole already.
    const float whole = std::copysign(magnitude < 0x1p23f ? (magnitude + 0x1p23f) - 0x1p23f : magnitude, scaled);
    return static_cast<int32_t>(std::min(std::max(whole, -0x1p31f), 0x1.fffffep30f));
}
void WidenFloat32(const uint8_t* in, std::size_t samples, int32_t* out) {
    const DenormalsFlushed denormalsFlushed;  // a denormal sample is silence either way
    for (std::size_t i = 0; i < samples; ++i, in += 4) {
        float value;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&value, in, 4);
        } else {
            value = std::bit_cast<float>(uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 |
                                         uint32_t(in[3]) << 24);
        }
        out[i] = FloatToWide(value);
    }
}
void WidenFloat64(const uint8_t* in, std::size_t samples, int32_t* out) {
    const DenormalsFlushed denormalsFlushed;  // a denormal sample is silence either way
    for (std::size_t i = 0; i < samples; ++i, in += 8) {
        uint64_t bits = 0;
        for (int b = 7; b >= 0; --b) bits = bits << 8 | in[b];
        out[i] = FloatToWide(std::bit_cast<double>(bits));
    }
}

// Interleaves `channels` arrays of float samples into wide samples; the
// channel count is fixed so that the loop becomes vector code.
template <int channels>
void WidenPlanes(const float* const* planes, std::size_t frames, int32_t* out) {
    const DenormalsFlushed denormalsFlushed;  // a denormal sample is silence either way
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) out[i * channels + c] = FloatToWide(planes[c][i]);
}

// -3 dB in Q15.
constexpr int32_t kFull = 32768, kMinus3dB = 23170;

// Left and right gains of one speaker bit. Front channels go to their own
// side at full level, centres to both sides at -3 dB, surrounds (side, back
// and top) to their side at -3 dB; the low-frequency channel is dropped.
std::array<int32_t, 2> FoldGains(int speakerBit) {
    switch (speakerBit) {
        case 0: case 6: return {kFull, 0};                  // front left, front left of centre
        case 1: case 7: return {0, kFull};                  // front right, front right of centre
        case 2: case 8: case 11: case 13: case 16:          // the centres, front to top
            return {kMinus3dB, kMinus3dB};
        case 4: case 9: case 12: case 15: return {kMinus3dB, 0};  // back, side, top left
        case 5: case 10: case 14: case 17: return {0, kMinus3dB};
        default: return {0, 0};                             // low frequency, unknown
    }
}

int32_t Clip(int64_t value) {
    return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value);
}

// Writes `count` requantized samples as `bytes`-byte WAV samples, each one
// twice when `doubled` (a mono source to stereo); returns the bytes written.
template <int bytes>
std::size_t Store(const int32_t* samples, std::size_t count, bool doubled, uint8_t* out) {
    auto put = [](uint8_t* at, int32_t sample) {
        if constexpr (bytes == 1) {
            *at = static_cast<uint8_t>(sample + 128);
        } else {
            at[0] = static_cast<uint8_t>(sample);
            at[1] = static_cast<uint8_t>(sample >> 8);
        }
    };
    if (!doubled) {
        for (std::size_t i = 0; i < count; ++i) put(out + i * bytes, samples[i]);
        return count * bytes;
    }
    for (std::size_t i = 0; i < count; ++i) {
        put(out + 2 * i * bytes, samples[i]);
        put(out + (2 * i + 1) * bytes, samples[i]);
    }
    return 2 * count * bytes;
}

}  // namespace

void TpdfDither::RequantizeInPlace(int32_t* samples, std::size_t count) {
    // One at a time up to the first generator, then whole rounds of all of
    // them, then one at a time again.
    std::size_t done = 0;
    for (; done < count && next_ != 0; ++done) samples[done] = Requantize(samples[done]);
    constexpr std::size_t kRounds = 128;
    int32_t noise[kRounds * kLanes];
    // A copy, which the stores cannot alias, keeps the state and the bounds
    // in registers.
    TpdfDither local = *this;
    while (count - done >= kLanes) {
        const std::size_t n = std::min(kRounds, (count - done) / kLanes) * kLanes;
        for (std::size_t round = 0; round < n; round += kLanes)
            for (std::size_t lane = 0; lane < kLanes; ++lane) noise[round + lane] = local.NextNoise(local.lanes_[lane]);
        int32_t* chunk = samples + done;
        for (std::size_t i = 0; i < n; ++i) chunk[i] = local.Quantize(chunk[i], noise[i]);
        done += n;
    }
    lanes_ = local.lanes_;
    for (; done < count; ++done) samples[done] = Requantize(samples[done]);
}

bool IsReducibleSource(const WaveFormat& source) {
    const WaveHeader& h = source.header;
    const bool integer = h.formatTag == kWaveFormatPcm &&
                         (h.bitsPerSample == 8 || h.bitsPerSample == 16 || h.bitsPerSample == 24 || h.bitsPerSample == 32);
    const bool floating = h.formatTag == kWaveFormatFloat && (h.bitsPerSample == 32 || h.bitsPerSample == 64);
    return (integer || floating) && h.channels >= 1 && h.channels <= 8 &&
           h.blockAlign == h.channels * h.bitsPerSample / 8;
}

SampleReducer::SampleReducer(const WaveFormat& source, int targetChannels, int targetBits)
    : sourceChannels_(source.header.channels),
      targetChannels_(targetChannels),
      targetBits_(targetBits),
      dither_(32 - targetBits),
      wide_(kMaxFrames * 8) {
    const WaveHeader& h = source.header;
    if (h.formatTag == kWaveFormatFloat) {
        widen_ = h.bitsPerSample == 32 ? WidenFloat32 : WidenFloat64;
    } else {
        widen_ = h.bitsPerSample == 8 ? Widen8 : h.bitsPerSample == 16 ? Widen16 : h.bitsPerSample == 24 ? Widen24 : Widen32;
    }
    uint32_t mask = SpeakerMask(source);
    for (int channel = 0; channel < sourceChannels_; ++channel) {
        const int bit = std::countr_zero(mask);
        mask &= mask - 1;
        fold_[channel] = FoldGains(bit);
    }
}

std::size_t SampleReducer::Convert(const uint8_t* in, std::size_t frames, uint8_t* out) {
    widen_(in, frames * sourceChannels_, wide_.data());
    return Reduce(frames, out);
}

std::size_t SampleReducer::ConvertPlanes(const float* const* planes, std::size_t frames, uint8_t* out) {
    if (sourceChannels_ == 1) {
        WidenPlanes<1>(planes, frames, wide_.data());
    } else {
        WidenPlanes<2>(planes, frames, wide_.data());
    }
    return Reduce(frames, out);
}

std::size_t SampleReducer::Reduce(std::size_t frames, uint8_t* out) {
    int32_t* wide = wide_.data();

    // Left and right (or the mono sample) of every frame, side by side in place.
    if (sourceChannels_ > 2) {
        for (std::size_t f = 0; f < frames; ++f) {
            const int32_t* frame = wide + f * sourceChannels_;
            int64_t left = 0, right = 0;
            for (int c = 0; c < sourceChannels_; ++c) {
                left += int64_t{frame[c]} * fold_[c][0];
                right += int64_t{frame[c]} * fold_[c][1];
            }
            wide[2 * f] = Clip(left >> 15);
            wide[2 * f + 1] = Clip(right >> 15);
        }
    }
    // The samples that carry dither, side by side: both channels, or the left
    // alone when the target is mono. A mono source is doubled after dithering,
    // so both channels carry the same sample.
    std::size_t count = frames * (sourceChannels_ == 1 ? 1 : 2);
    if (sourceChannels_ > 1 && targetChannels_ == 1) {
        for (std::size_t f = 0; f < frames; ++f) wide[f] = wide[2 * f];
        count = frames;
    }
    dither_.RequantizeInPlace(wide, count);
    const bool doubled = sourceChannels_ == 1 && targetChannels_ == 2;
    return targetBits_ == 8 ? Store<1>(wide, count, doubled, out) : Store<2>(wide, count, doubled, out);
}

}  // namespace zelph
