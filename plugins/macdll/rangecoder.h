#pragma once
// The range coder of format 3.99 and the adaptive residual code on top of it.
// The encoder keeps a 31-bit low end and shifts out one byte whenever the range
// falls to 2^23 or less, carrying into bytes already pending; the decoder reads
// the same bytes offset by one bit, so that both see the same intervals. The
// encoder starts with a pending zero byte, which the decoder steps over.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zelph::ape {

class RangeEncoder {
public:
    explicit RangeEncoder(std::vector<uint8_t>& out) : out_(out) {}

    // Narrows to [low, low + width) of `total` equal parts.
    void Encode(uint32_t low, uint32_t width, uint32_t total);
    void EncodeShift(uint32_t low, uint32_t width, int shift);
    void EncodeBits(uint32_t value, int bits) { EncodeShift(value, 1, bits); }
    // Ends the frame's code where a decoder's reading of it ends.
    void Finish();

private:
    void Normalize();
    void ShiftOut();
    void Emit(uint8_t byte) { out_.push_back(byte); }

    std::vector<uint8_t>& out_;
    uint32_t low_ = 0;
    uint32_t range_ = 1u << 31;
    uint32_t pending_ = 0;  // the byte not yet written: a carry may still change it
    uint32_t pendingFFs_ = 0;
};

class RangeDecoder {
public:
    // `bytes` starts at the coder's first byte (the one the encoder leaves unused).
    explicit RangeDecoder(std::span<const uint8_t> bytes);

    // Each returns the coded value; a value outside its total, or a read past
    // the end of the bytes, marks the stream corrupt.
    uint32_t DecodeFreq(uint32_t total);
    uint32_t DecodeShift(int shift);
    void Update(uint32_t low, uint32_t width);
    uint32_t DecodeBits(int bits);
    bool corrupt() const { return corrupt_; }

private:
    void Normalize();
    uint8_t NextByte();

    std::span<const uint8_t> bytes_;
    std::size_t pos_ = 0;
    uint32_t buffer_ = 0;
    uint32_t low_ = 0;
    uint32_t range_ = 0;
    uint32_t help_ = 1;
    bool corrupt_ = false;
};

// The running statistics that size the code for the next residual of a channel.
struct ResidualModel {
    uint32_t k = 10;
    uint32_t kSum = (1u << 10) * 16;
    void Update(uint32_t x);
    uint32_t Pivot() const { return kSum >> 5 ? kSum >> 5 : 1; }
};

void EncodeResidual(RangeEncoder& coder, ResidualModel& model, int32_t value);
int32_t DecodeResidual(RangeDecoder& coder, ResidualModel& model);

}  // namespace zelph::ape
