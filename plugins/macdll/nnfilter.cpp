#include "plugins/macdll/nnfilter.h"

#include <algorithm>
#include <cstdlib>

namespace zelph::ape {
namespace {

constexpr int kRoom = 512;

int32_t NegSign(int32_t x) { return (x < 0) - (x > 0); }

int16_t ClipToInt16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

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

int32_t NNFilter::Predict() const {
    const int16_t* d = delay_.data() + pos_ - order_;
    uint32_t dot = 0;
    for (int i = 0; i < order_; ++i) dot += static_cast<uint32_t>(int32_t{coeffs_[i]} * d[i]);
    return static_cast<int32_t>(dot + (1u << (fractionBits_ - 1))) >> fractionBits_;
}

void NNFilter::Adapt(int32_t residual, int32_t output) {
    const int32_t direction = NegSign(residual);
    const int16_t* a = adapt_.data() + pos_ - order_;
    for (int i = 0; i < order_; ++i) coeffs_[i] = static_cast<int16_t>(coeffs_[i] + direction * a[i]);

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

int32_t NNFilter::Decode(int32_t residual) {
    const int32_t output = static_cast<int32_t>(uint32_t(residual) + uint32_t(Predict()));
    Adapt(residual, output);
    return output;
}

int32_t NNFilter::Encode(int32_t sample) {
    const int32_t residual = static_cast<int32_t>(uint32_t(sample) - uint32_t(Predict()));
    Adapt(residual, sample);
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
