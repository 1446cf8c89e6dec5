#include "plugins/macdll/rangecoder.h"

namespace zelph::ape {
namespace {

constexpr uint32_t kTop = 1u << 31;
constexpr uint32_t kBottom = 1u << 23;
constexpr int kShiftBits = 23;

// Overflow symbols: 0..20 have trained widths; 21..62 and the escape (63)
// get width 1 at the top of the 16-bit scale.
constexpr uint32_t kSymbolLow[22] = {0,     19578, 36160, 48417, 56323, 60899, 63265, 64435,
                                     64971, 65232, 65351, 65416, 65447, 65466, 65476, 65482,
                                     65485, 65488, 65490, 65491, 65492, 65493};
constexpr uint32_t kTrainedSymbols = 21;
constexpr uint32_t kEscape = 63;
constexpr uint32_t kFlatBase = 65535 - kEscape;

uint32_t FoldSign(int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    return value > 0 ? 2 * v - 1 : 0u - 2 * v;
}

int32_t UnfoldSign(uint32_t x) {
    return (x & 1) ? static_cast<int32_t>((x >> 1) + 1) : static_cast<int32_t>(0u - (x >> 1));
}

// Pivots of 2^16 and more are coded as a high part over a 16-bit scale and
// `bits` low bits.
int WideBits(uint32_t pivot) {
    int bits = 0;
    while ((pivot >> bits) & ~0xFFFFu) ++bits;
    return bits;
}

}  // namespace

void RangeEncoder::ShiftOut() {
    if (low_ < (0xFFu << kShiftBits)) {
        Emit(static_cast<uint8_t>(pending_));
        for (; pendingFFs_; --pendingFFs_) Emit(0xFF);
        pending_ = low_ >> kShiftBits;
    } else if (low_ & kTop) {
        Emit(static_cast<uint8_t>(pending_ + 1));
        for (; pendingFFs_; --pendingFFs_) Emit(0x00);
        pending_ = (low_ >> kShiftBits) & 0xFF;
    } else {
        ++pendingFFs_;
    }
    low_ = (low_ << 8) & (kTop - 1);
}

void RangeEncoder::Normalize() {
    while (range_ <= kBottom) {
        ShiftOut();
        range_ <<= 8;
    }
}

void RangeEncoder::Encode(uint32_t low, uint32_t width, uint32_t total) {
    Normalize();
    const uint32_t step = range_ / total;
    low_ += step * low;
    range_ = step * width;
}

void RangeEncoder::EncodeShift(uint32_t low, uint32_t width, int shift) {
    Normalize();
    const uint32_t step = range_ >> shift;
    low_ += step * low;
    range_ = step * width;
}

// The pending bytes, then the top byte of the low end plus one, which lies
// inside the final interval, then three zero bytes: exactly the bytes a
// decoder reads (or steps over) before the next frame begins.
void RangeEncoder::Finish() {
    Normalize();
    const uint32_t top = (low_ >> kShiftBits) + 1;
    const bool carry = top > 0xFF;
    Emit(static_cast<uint8_t>(pending_ + carry));
    for (; pendingFFs_; --pendingFFs_) Emit(carry ? 0x00 : 0xFF);
    Emit(static_cast<uint8_t>(top));
    for (int i = 0; i < 3; ++i) Emit(0);
}

RangeDecoder::RangeDecoder(std::span<const uint8_t> bytes) : bytes_(bytes) {
    NextByte();  // the encoder's initial pending byte carries nothing
    buffer_ = NextByte();
    low_ = buffer_ >> 1;
    range_ = 1u << 7;
}

uint8_t RangeDecoder::NextByte() {
    if (pos_ >= bytes_.size()) {
        corrupt_ = true;
        return 0;
    }
    return bytes_[pos_++];
}

void RangeDecoder::Normalize() {
    while (range_ <= kBottom) {
        buffer_ = (buffer_ << 8) | NextByte();
        low_ = (low_ << 8) | ((buffer_ >> 1) & 0xFF);
        range_ <<= 8;
    }
}

uint32_t RangeDecoder::DecodeFreq(uint32_t total) {
    Normalize();
    help_ = range_ / total;
    const uint32_t value = low_ / help_;
    if (value >= total) {
        corrupt_ = true;
        return 0;
    }
    return value;
}

uint32_t RangeDecoder::DecodeShift(int shift) {
    Normalize();
    help_ = range_ >> shift;  // the division by a power of two, as a shift
    const uint32_t value = low_ / help_;
    if (value >> shift) {
        corrupt_ = true;
        return 0;
    }
    return value;
}

void RangeDecoder::Update(uint32_t low, uint32_t width) {
    low_ -= help_ * low;
    range_ = help_ * width;
}

uint32_t RangeDecoder::DecodeBits(int bits) {
    const uint32_t value = DecodeShift(bits);
    Update(value, 1);
    return value;
}

void ResidualModel::Update(uint32_t x) {
    kSum += (x + 1) / 2 - ((kSum + 16) >> 5);
    if (k > 0 && kSum < (1u << (k + 4)))
        --k;
    else if (kSum >= (1u << (k + 5)) && k < 24)
        ++k;
}

void EncodeResidual(RangeEncoder& coder, ResidualModel& model, int32_t value) {
    const uint32_t x = FoldSign(value);
    const uint32_t pivot = model.Pivot();
    const uint32_t overflow = x / pivot;
    const uint32_t base = x % pivot;

    if (overflow < kTrainedSymbols) {
        coder.EncodeShift(kSymbolLow[overflow], kSymbolLow[overflow + 1] - kSymbolLow[overflow], 16);
    } else if (overflow < kEscape) {
        coder.EncodeShift(kFlatBase + overflow, 1, 16);
    } else {
        coder.EncodeShift(kFlatBase + kEscape, 1, 16);
        coder.EncodeBits(overflow >> 16, 16);
        coder.EncodeBits(overflow & 0xFFFF, 16);
    }

    if (pivot < 0x10000) {
        coder.Encode(base, 1, pivot);
    } else {
        const int bits = WideBits(pivot);
        coder.Encode(base >> bits, 1, (pivot >> bits) + 1);
        coder.Encode(base & ((1u << bits) - 1), 1, 1u << bits);
    }
    model.Update(x);
}

int32_t DecodeResidual(RangeDecoder& coder, ResidualModel& model) {
    const uint32_t pivot = model.Pivot();

    uint32_t overflow;
    const uint32_t cf = coder.DecodeShift(16);
    if (cf >= kSymbolLow[kTrainedSymbols]) {
        overflow = cf - kFlatBase;
        coder.Update(cf, 1);
        if (overflow == kEscape) {
            overflow = coder.DecodeBits(16) << 16;
            overflow |= coder.DecodeBits(16);
        }
    } else {
        // Counted without branches: which symbol comes is unpredictable, and
        // a search loop would mispredict nearly every time.
        overflow = 0;
        for (uint32_t s = 1; s < kTrainedSymbols; ++s) overflow += kSymbolLow[s] <= cf;
        coder.Update(kSymbolLow[overflow], kSymbolLow[overflow + 1] - kSymbolLow[overflow]);
    }

    uint32_t base;
    if (pivot < 0x10000) {
        base = coder.DecodeFreq(pivot);
        coder.Update(base, 1);
    } else {
        const int bits = WideBits(pivot);
        const uint32_t high = coder.DecodeFreq((pivot >> bits) + 1);
        coder.Update(high, 1);
        const uint32_t low = coder.DecodeFreq(1u << bits);
        coder.Update(low, 1);
        base = (high << bits) + low;
    }

    const uint32_t x = base + overflow * pivot;
    model.Update(x);
    return UnfoldSign(x);
}

}  // namespace zelph::ape
