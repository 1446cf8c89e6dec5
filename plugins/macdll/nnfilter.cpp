#include "plugins/macdll/nnfilter.h"

#include <algorithm>
#include <cstdlib>

namespace zelph::ape {
namespace {

constexpr int kRoom = 512;

int32_t NegSign(int32_t x) { return (x < 0) - (x > 0); }

int16_t ClipToInt16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

// These loops are the codec's hot spot; they are written so that the compiler
// turns them into 16-bit vector arithmetic (multiply-add pairs into 32 bits).
// Every sum wraps at 32 bits and every coefficient at 16, as in the format.

uint32_t Dot(const int16_t* coeffs, const int16_t* window, int order) {
    uint32_t dot = 0;
    for (int i = 0; i < order; ++i) dot += static_cast<uint32_t>(coeffs[i] * window[i]);
    return dot;
}

void Step(int16_t* coeffs, const int16_t* steps, int order, int16_t direction) {
    for (int i = 0; i < order; ++i) coeffs[i] = static_cast<int16_t>(coeffs[i] + direction * steps[i]);
}

// The dot product with the coefficients as they are, then the step, in one pass.
uint32_t DotAndStep(int16_t* coeffs, const int16_t* window, const int16_t* steps, int order, int16_t direction) {
    uint32_t dot = 0;
    for (int i = 0; i < order; ++i) {
        dot += static_cast<uint32_t>(coeffs[i] * window[i]);
        coeffs[i] = static_cast<int16_t>(coeffs[i] + direction * steps[i]);
    }
    return dot;
}

}  // namespace

NNFilter::NNFilter(int order, int fractionBits)
    : order_(order), fractionBits_(fractionBits), coeffs_(order), delay_(order + kRoom), adapt_(order + kRoom) {
    Reset();
}

void NNFilter::Reset() {
    std::fill(coeffs_.begin(), coeffs_.end(), 0);
    std::fill(delay_.begin(), delay_.end(), 0);
    std::fill(adapt_.begin(), adapt_.end(), 0);
    pos_ = order_;
    average_ = 0;
}

int32_t NNFilter::Round(uint32_t dot) const {
    return static_cast<int32_t>(dot + (1u << (fractionBits_ - 1))) >> fractionBits_;
}

void NNFilter::Adapt(int32_t output) {
    // The step grows with the output's size against its running average.
    const int64_t magnitude = std::llabs(int64_t{output});
    int16_t step = 0;
    if (magnitude != 0) {
        step = magnitude > average_ * 3 ? 32 : magnitude > average_ * 4 / 3 ? 16 : 8;
        if (output > 0) step = static_cast<int16_t>(-step);
    }
    average_ += (magnitude - average_) / 16;

    delay_[pos_] = ClipToInt16(output);
    adapt_[pos_] = step;
    adapt_[pos_ - 1] >>= 1;
    adapt_[pos_ - 2] >>= 1;
    adapt_[pos_ - 8] >>= 1;

    if (++pos_ == order_ + kRoom) {
        std::copy(delay_.end() - order_, delay_.end(), delay_.begin());
        std::copy(adapt_.end() - order_, adapt_.end(), adapt_.begin());
        pos_ = order_;
    }
}

// The decoder knows the residual, and so the direction of the coefficient
// step, before it predicts: one pass does both.
int32_t NNFilter::Decode(int32_t residual) {
    const int16_t* window = delay_.data() + pos_ - order_;
    const int16_t* steps = adapt_.data() + pos_ - order_;
    const uint32_t dot = DotAndStep(coeffs_.data(), window, steps, order_, static_cast<int16_t>(NegSign(residual)));
    const int32_t output = static_cast<int32_t>(uint32_t(residual) + uint32_t(Round(dot)));
    Adapt(output);
    return output;
}

int32_t NNFilter::Encode(int32_t sample) {
    const int16_t* window = delay_.data() + pos_ - order_;
    const int16_t* steps = adapt_.data() + pos_ - order_;
    const int32_t prediction = Round(Dot(coeffs_.data(), window, order_));
    const int32_t residual = static_cast<int32_t>(uint32_t(sample) - uint32_t(prediction));
    Step(coeffs_.data(), steps, order_, static_cast<int16_t>(NegSign(residual)));
    Adapt(sample);
    return residual;
}

std::vector<NNFilter> FiltersForLevel(int level) {
    struct Stage {
        int order, bits;
    };
    std::vector<Stage> stages;
    switch (level) {
        case 2000: stages = {{16, 11}}; break;
        case 3000: stages = {{64, 11}}; break;
        case 4000: stages = {{32, 10}, {256, 13}}; break;
        case 5000: stages = {{16, 11}, {256, 13}, {1280, 15}}; break;
        default: break;
    }
    std::vector<NNFilter> filters;
    for (const Stage& s : stages) filters.emplace_back(s.order, s.bits);
    return filters;
}

}  // namespace zelph::ape
