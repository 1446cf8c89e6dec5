#include "plugins/macdll/predictor.h"

#include <algorithm>

namespace zelph::ape {
namespace {

// History offsets of each channel's two delay lines and their sign lines.
constexpr int kOrder = 8;
constexpr int kSideDelayA = 18 + kOrder * 4, kSideDelayB = 18 + kOrder * 3;
constexpr int kMidDelayA = 18 + kOrder * 2, kMidDelayB = 18 + kOrder;
constexpr int kSideAdaptA = 18, kMidAdaptA = 14, kSideAdaptB = 10, kMidAdaptB = 5;

constexpr std::array<uint32_t, 4> kInitialCoeffsA = {360, 317, static_cast<uint32_t>(-109), 98};

// Sign with the predictor's orientation: -1 for positive, 1 for negative.
int32_t NegSign(int32_t x) { return (x < 0) - (x > 0); }

// Signed arithmetic that wraps as the reference decoders' 32-bit ints do.
int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }
int32_t Add(int32_t a, int32_t b) { return Wrap(uint32_t(a) + uint32_t(b)); }
int32_t Sub(int32_t a, int32_t b) { return Wrap(uint32_t(a) - uint32_t(b)); }
int32_t Decay(int32_t v) { return Wrap(uint32_t(v) * 31u) >> 5; }

}  // namespace

void Predictor::Reset() {
    history_.fill(0);
    pos_ = 0;
    for (Channel& c : channels_) {
        c = Channel{};
        c.coeffsA = kInitialCoeffsA;
    }
}

void Predictor::Advance() {
    if (++pos_ == kWindow) {
        std::copy(history_.begin() + kWindow, history_.end(), history_.begin());
        pos_ = 0;
    }
}

// The newest values of each delay line are kept in registers rather than read
// back from the history just written: a wide load right after narrow stores
// to the same place stalls.
template <Predictor::Layout kAt, bool kEncode>
int32_t Predictor::StepStereo(int32_t value, Channel& c, int32_t otherFilterA, int32_t* b) {
    const int32_t a0 = c.lastA;
    const int32_t a1 = Sub(a0, b[kAt.delayA - 1]);
    const int32_t a2 = b[kAt.delayA - 2], a3 = b[kAt.delayA - 3];
    const int32_t signA0 = NegSign(a0), signA1 = NegSign(a1);
    b[kAt.delayA] = a0;
    b[kAt.delayA - 1] = a1;
    b[kAt.adaptA] = signA0;
    b[kAt.adaptA - 1] = signA1;
    const uint32_t predictionA = uint32_t(a0) * c.coeffsA[0] + uint32_t(a1) * c.coeffsA[1] +
                                 uint32_t(a2) * c.coeffsA[2] + uint32_t(a3) * c.coeffsA[3];

    const int32_t d0 = Sub(otherFilterA, Decay(c.filterB));
    const int32_t d1 = Sub(d0, b[kAt.delayB - 1]);
    const int32_t d2 = b[kAt.delayB - 2], d3 = b[kAt.delayB - 3], d4 = b[kAt.delayB - 4];
    const int32_t signB0 = NegSign(d0), signB1 = NegSign(d1);
    b[kAt.delayB] = d0;
    b[kAt.delayB - 1] = d1;
    b[kAt.adaptB] = signB0;
    b[kAt.adaptB - 1] = signB1;
    c.filterB = otherFilterA;
    const uint32_t predictionB = uint32_t(d0) * c.coeffsB[0] + uint32_t(d1) * c.coeffsB[1] +
                                 uint32_t(d2) * c.coeffsB[2] + uint32_t(d3) * c.coeffsB[3] +
                                 uint32_t(d4) * c.coeffsB[4];

    const int32_t prediction = Wrap(predictionA + uint32_t(Wrap(predictionB) >> 1)) >> 10;
    int32_t residual;
    if constexpr (kEncode) {
        c.lastA = Sub(value, Decay(c.filterA));
        residual = Sub(c.lastA, prediction);
        c.filterA = value;
    } else {
        residual = value;
        c.lastA = Add(residual, prediction);
        c.filterA = Add(c.lastA, Decay(c.filterA));
    }

    const uint32_t sign = uint32_t(NegSign(residual));
    c.coeffsA[0] += uint32_t(signA0) * sign;
    c.coeffsA[1] += uint32_t(signA1) * sign;
    c.coeffsA[2] += uint32_t(b[kAt.adaptA - 2]) * sign;
    c.coeffsA[3] += uint32_t(b[kAt.adaptA - 3]) * sign;
    c.coeffsB[0] += uint32_t(signB0) * sign;
    c.coeffsB[1] += uint32_t(signB1) * sign;
    c.coeffsB[2] += uint32_t(b[kAt.adaptB - 2]) * sign;
    c.coeffsB[3] += uint32_t(b[kAt.adaptB - 3]) * sign;
    c.coeffsB[4] += uint32_t(b[kAt.adaptB - 4]) * sign;
    if constexpr (kEncode) return residual;
    return c.filterA;
}

constexpr Predictor::Layout kSide{kSideDelayA, kSideDelayB, kSideAdaptA, kSideAdaptB};
constexpr Predictor::Layout kMid{kMidDelayA, kMidDelayB, kMidAdaptA, kMidAdaptB};

void Predictor::DecodeStereo(int32_t& side, int32_t& mid) {
    int32_t* b = history_.data() + pos_;
    side = StepStereo<kSide, false>(side, channels_[0], channels_[1].filterA, b);
    mid = StepStereo<kMid, false>(mid, channels_[1], channels_[0].filterA, b);
    Advance();
}

void Predictor::EncodeStereo(int32_t& side, int32_t& mid) {
    int32_t* b = history_.data() + pos_;
    side = StepStereo<kSide, true>(side, channels_[0], channels_[1].filterA, b);
    mid = StepStereo<kMid, true>(mid, channels_[1], channels_[0].filterA, b);
    Advance();
}

// Mono has only the first delay line and updates its signs after predicting.
int32_t Predictor::StepMono(int32_t value, bool encode) {
    Channel& c = channels_[0];
    int32_t* b = history_.data() + pos_;

    const int32_t a0 = c.lastA;
    const int32_t a1 = Sub(a0, b[kSideDelayA - 1]);
    const int32_t a2 = b[kSideDelayA - 2], a3 = b[kSideDelayA - 3];
    b[kSideDelayA] = a0;
    b[kSideDelayA - 1] = a1;
    const uint32_t predictionA = uint32_t(a0) * c.coeffsA[0] + uint32_t(a1) * c.coeffsA[1] +
                                 uint32_t(a2) * c.coeffsA[2] + uint32_t(a3) * c.coeffsA[3];
    const int32_t prediction = Wrap(predictionA) >> 10;

    int32_t residual, sample;
    if (encode) {
        sample = value;
        c.lastA = Sub(sample, Decay(c.filterA));
        residual = Sub(c.lastA, prediction);
    } else {
        residual = value;
        c.lastA = Add(residual, prediction);
        sample = Add(c.lastA, Decay(c.filterA));
    }

    const int32_t signA0 = NegSign(a0), signA1 = NegSign(a1);
    b[kSideAdaptA] = signA0;
    b[kSideAdaptA - 1] = signA1;
    const uint32_t sign = uint32_t(NegSign(residual));
    c.coeffsA[0] += uint32_t(signA0) * sign;
    c.coeffsA[1] += uint32_t(signA1) * sign;
    c.coeffsA[2] += uint32_t(b[kSideAdaptA - 2]) * sign;
    c.coeffsA[3] += uint32_t(b[kSideAdaptA - 3]) * sign;
    Advance();

    c.filterA = sample;
    return encode ? residual : sample;
}

int32_t Predictor::DecodeMono(int32_t residual) { return StepMono(residual, false); }
int32_t Predictor::EncodeMono(int32_t sample) { return StepMono(sample, true); }

}  // namespace zelph::ape
