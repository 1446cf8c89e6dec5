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

int32_t Predictor::StepStereo(int32_t value, int which, const Layout& at, bool encode) {
    Channel& c = channels_[which];
    int32_t* b = history_.data() + pos_;

    b[at.delayA] = c.lastA;
    b[at.adaptA] = NegSign(b[at.delayA]);
    b[at.delayA - 1] = Sub(b[at.delayA], b[at.delayA - 1]);
    b[at.adaptA - 1] = NegSign(b[at.delayA - 1]);
    uint32_t predictionA = 0;
    for (int i = 0; i < 4; ++i) predictionA += uint32_t(b[at.delayA - i]) * c.coeffsA[i];

    b[at.delayB] = Sub(channels_[which ^ 1].filterA, Decay(c.filterB));
    b[at.adaptB] = NegSign(b[at.delayB]);
    b[at.delayB - 1] = Sub(b[at.delayB], b[at.delayB - 1]);
    b[at.adaptB - 1] = NegSign(b[at.delayB - 1]);
    c.filterB = channels_[which ^ 1].filterA;
    uint32_t predictionB = 0;
    for (int i = 0; i < 5; ++i) predictionB += uint32_t(b[at.delayB - i]) * c.coeffsB[i];

    const int32_t prediction = Wrap(predictionA + uint32_t(Wrap(predictionB) >> 1)) >> 10;
    int32_t residual;
    if (encode) {
        c.lastA = Sub(value, Decay(c.filterA));
        residual = Sub(c.lastA, prediction);
        c.filterA = value;
    } else {
        residual = value;
        c.lastA = Add(residual, prediction);
        c.filterA = Add(c.lastA, Decay(c.filterA));
    }

    const uint32_t sign = uint32_t(NegSign(residual));
    for (int i = 0; i < 4; ++i) c.coeffsA[i] += uint32_t(b[at.adaptA - i]) * sign;
    for (int i = 0; i < 5; ++i) c.coeffsB[i] += uint32_t(b[at.adaptB - i]) * sign;
    return encode ? residual : c.filterA;
}

void Predictor::DecodeStereo(int32_t& side, int32_t& mid) {
    side = StepStereo(side, 0, {kSideDelayA, kSideDelayB, kSideAdaptA, kSideAdaptB}, false);
    mid = StepStereo(mid, 1, {kMidDelayA, kMidDelayB, kMidAdaptA, kMidAdaptB}, false);
    Advance();
}

void Predictor::EncodeStereo(int32_t& side, int32_t& mid) {
    side = StepStereo(side, 0, {kSideDelayA, kSideDelayB, kSideAdaptA, kSideAdaptB}, true);
    mid = StepStereo(mid, 1, {kMidDelayA, kMidDelayB, kMidAdaptA, kMidAdaptB}, true);
    Advance();
}

// Mono has only the first delay line and updates its signs after predicting.
int32_t Predictor::StepMono(int32_t value, bool encode) {
    Channel& c = channels_[0];
    int32_t* b = history_.data() + pos_;

    b[kSideDelayA] = c.lastA;
    b[kSideDelayA - 1] = Sub(b[kSideDelayA], b[kSideDelayA - 1]);
    uint32_t predictionA = 0;
    for (int i = 0; i < 4; ++i) predictionA += uint32_t(b[kSideDelayA - i]) * c.coeffsA[i];
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

    b[kSideAdaptA] = NegSign(b[kSideDelayA]);
    b[kSideAdaptA - 1] = NegSign(b[kSideDelayA - 1]);
    const uint32_t sign = uint32_t(NegSign(residual));
    for (int i = 0; i < 4; ++i) c.coeffsA[i] += uint32_t(b[kSideAdaptA - i]) * sign;
    Advance();

    c.filterA = sample;
    return encode ? residual : sample;
}

int32_t Predictor::DecodeMono(int32_t residual) { return StepMono(residual, false); }
int32_t Predictor::EncodeMono(int32_t sample) { return StepMono(sample, true); }

}  // namespace zelph::ape
