#include "plugins/macdll/framecoder.h"

#include <algorithm>

namespace zelph::ape {
namespace {

// Frame flags: a silent channel (mono files use the first), and a stereo
// frame whose channels are equal, coded as one. The CRC's top bit says that
// a flags word follows it.
constexpr uint32_t kFlagLeftSilence = 1;
constexpr uint32_t kFlagRightSilence = 2;
constexpr uint32_t kFlagSilence = kFlagLeftSilence | kFlagRightSilence;
constexpr uint32_t kFlagPseudoStereo = 4;
constexpr uint32_t kFlagsPresent = 0x80000000u;

int32_t ReadSample(const uint8_t* p, int bits) {
    if (bits == 8) return int32_t{p[0]} - 128;
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

void WriteSample(uint8_t* p, int bits, int32_t v) {
    if (bits == 8) {
        p[0] = static_cast<uint8_t>(uint32_t(v) + 0x80);
    } else {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
    }
}

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t GetBE32(std::span<const uint8_t> b, std::size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// The channel pair a stereo frame codes: the difference and the midpoint.
int32_t Side(int32_t left, int32_t right) { return right - left; }
int32_t Mid(int32_t left, int32_t side) { return left + side / 2; }

// The flags a frame of `pcm` earns: a silence flag for each silent channel
// (decoders act only on both together) and, for stereo, equal channels.
uint32_t SpecialFlags(const StreamFormat& format, std::span<const uint8_t> pcm) {
    const int bits = format.bitsPerSample;
    const int bytesPerSample = bits / 8;
    const std::size_t align = format.BlockAlign();
    bool silent[2] = {true, true};
    bool equal = true;
    // Music settles all three questions within its first few blocks.
    for (std::size_t at = 0; at < pcm.size() && (silent[0] || silent[1] || equal); at += align) {
        const int32_t first = ReadSample(&pcm[at], bits);
        const int32_t second = format.channels == 2 ? ReadSample(&pcm[at + bytesPerSample], bits) : 0;
        silent[0] = silent[0] && first == 0;
        silent[1] = silent[1] && second == 0;
        equal = equal && first == second;
    }
    if (format.channels == 1) return silent[0] ? kFlagLeftSilence : 0;
    return (silent[1] ? kFlagLeftSilence : 0) | (silent[0] ? kFlagRightSilence : 0) | (equal ? kFlagPseudoStereo : 0);
}

// A silent frame codes no residuals at all.
bool IsSilent(int channels, uint32_t flags) {
    return channels == 1 ? (flags & kFlagLeftSilence) != 0 : (flags & kFlagSilence) == kFlagSilence;
}

}  // namespace

bool IsSupported(const StreamFormat& f) {
    return (f.channels == 1 || f.channels == 2) && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
           f.level >= 1000 && f.level <= 5000 && f.level % 1000 == 0;
}

void SwapWords(std::span<uint8_t> bytes) {
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        std::swap(bytes[i], bytes[i + 3]);
        std::swap(bytes[i + 1], bytes[i + 2]);
    }
}

void EncodeFrame(const StreamFormat& format, std::span<const uint8_t> pcm, std::vector<uint8_t>& stream) {
    const int align = format.BlockAlign();
    const int bits = format.bitsPerSample;
    const int bytesPerSample = bits / 8;
    const std::size_t blocks = pcm.size() / align;
    pcm = pcm.first(blocks * align);

    Crc32 crc;
    crc.Add(pcm);
    const uint32_t flags = SpecialFlags(format, pcm);
    PutBE32(stream, crc.Value() >> 1 | (flags ? kFlagsPresent : 0));
    if (flags) PutBE32(stream, flags);

    Predictor predictor;
    std::vector<NNFilter> filters[2] = {FiltersForLevel(format.level), FiltersForLevel(format.level)};
    ResidualModel models[2];
    RangeEncoder coder(stream);

    auto throughFilters = [&](int channel, int32_t value) {
        for (auto f = filters[channel].rbegin(); f != filters[channel].rend(); ++f) value = f->Encode(value);
        return value;
    };

    for (std::size_t i = 0; i < blocks && !IsSilent(format.channels, flags); ++i) {
        const uint8_t* block = pcm.data() + i * align;
        const int32_t left = ReadSample(block, bits);
        if (format.channels == 1 || (flags & kFlagPseudoStereo)) {
            EncodeResidual(coder, models[0], throughFilters(0, predictor.EncodeMono(left)));
            continue;
        }
        int32_t side = Side(left, ReadSample(block + bytesPerSample, bits));
        int32_t mid = Mid(left, side);
        predictor.EncodeStereo(side, mid);
        EncodeResidual(coder, models[0], throughFilters(0, side));
        EncodeResidual(coder, models[1], throughFilters(1, mid));
    }
    coder.Finish();
}

bool FrameDecoder::Start(const StreamFormat& format, std::span<const uint8_t> bytes, uint32_t blocks) {
    format_ = format;
    remaining_ = 0;
    coder_.reset();
    if (bytes.size() < 4) return false;
    storedCrc_ = GetBE32(bytes, 0);
    std::size_t at = 4;
    flags_ = 0;
    if (storedCrc_ & kFlagsPresent) {
        storedCrc_ &= ~kFlagsPresent;
        if (bytes.size() < 8) return false;
        flags_ = GetBE32(bytes, 4);
        at = 8;
    }
    coder_.emplace(bytes.subspan(at));
    predictor_.Reset();
    for (auto& channel : filters_) channel = FiltersForLevel(format.level);
    models_[0] = models_[1] = ResidualModel{};
    crc_.Reset();
    remaining_ = blocks;
    return !coder_->corrupt();
}

// One loop per kind of frame, channel count and sample size, so that a
// block asks nothing but what its own coding needs.
template <FrameDecoder::Kind kKind, int kChannels, int kBits>
void FrameDecoder::DecodeBlocks(uint8_t* out, uint32_t count) {
    constexpr int kBytes = kBits / 8;
    auto throughFilters = [&](int channel, int32_t value) {
        for (NNFilter& f : filters_[channel]) value = f.Decode(value);
        return value;
    };
    for (uint32_t i = 0; i < count; ++i, out += kChannels * kBytes) {
        int32_t left = 0, right = 0;
        if constexpr (kKind == Kind::kOneChannel) {
            left = right = predictor_.DecodeMono(throughFilters(0, DecodeResidual(*coder_, models_[0])));
        } else if constexpr (kKind == Kind::kSideAndMid) {
            int32_t side = throughFilters(0, DecodeResidual(*coder_, models_[0]));
            int32_t mid = throughFilters(1, DecodeResidual(*coder_, models_[1]));
            predictor_.DecodeStereo(side, mid);
            left = static_cast<int32_t>(uint32_t(mid) - uint32_t(side / 2));
            right = static_cast<int32_t>(uint32_t(left) + uint32_t(side));
        }
        WriteSample(out, kBits, left);
        if constexpr (kChannels == 2) WriteSample(out + kBytes, kBits, right);
    }
}

template <FrameDecoder::Kind kKind>
void FrameDecoder::DecodeBlocksOf(uint8_t* out, uint32_t count) {
    const bool eightBit = format_.bitsPerSample == 8;
    if (format_.channels == 1)
        eightBit ? DecodeBlocks<kKind, 1, 8>(out, count) : DecodeBlocks<kKind, 1, 16>(out, count);
    else
        eightBit ? DecodeBlocks<kKind, 2, 8>(out, count) : DecodeBlocks<kKind, 2, 16>(out, count);
}

bool FrameDecoder::Decode(uint8_t* out, uint32_t count) {
    if (!coder_ || count > remaining_) return false;
    if (IsSilent(format_.channels, flags_))
        DecodeBlocksOf<Kind::kSilent>(out, count);
    else if (format_.channels == 1 || (flags_ & kFlagPseudoStereo))
        DecodeBlocksOf<Kind::kOneChannel>(out, count);
    else
        DecodeBlocksOf<Kind::kSideAndMid>(out, count);
    if (coder_->corrupt()) return false;
    crc_.Add({out, std::size_t{count} * format_.BlockAlign()});
    remaining_ -= count;
    if (remaining_ == 0 && (crc_.Value() >> 1) != storedCrc_) return false;
    return true;
}

}  // namespace zelph::ape
