#pragma once
// The adaptive predictor of format 3.99 (the last stage before the samples).
// Decoding turns a filtered residual into a sample; encoding runs the same
// state forwards on the sample and recovers the residual, so both sides adapt
// identically from past values only.

#include <array>
#include <cstdint>

namespace zelph::ape {

class Predictor {
public:
    Predictor() { Reset(); }
    void Reset();

    // Stereo: channel 0 is the side signal, channel 1 the mid signal; both are
    // processed per block, channel 0 first.
    void DecodeStereo(int32_t& side, int32_t& mid);
    void EncodeStereo(int32_t& side, int32_t& mid);
    int32_t DecodeMono(int32_t residual);
    int32_t EncodeMono(int32_t sample);

    // Where a channel's delay lines and sign lines stand in the history.
    struct Layout {
        int delayA, delayB, adaptA, adaptB;
    };

private:
    struct Channel {
        int32_t lastA = 0;
        int32_t filterA = 0;
        int32_t filterB = 0;
        std::array<uint32_t, 4> coeffsA{};
        std::array<uint32_t, 5> coeffsB{};
    };

    // Returns the residual when encoding, else the sample; `value` is the
    // other. `otherFilterA` is the other channel's last filtered value.
    template <Layout kAt, bool kEncode>
    static int32_t StepStereo(int32_t value, Channel& c, int32_t otherFilterA, int32_t* history);
    int32_t StepMono(int32_t value, bool encode);
    void Advance();

    static constexpr int kWindow = 512;
    static constexpr int kHistory = 50;
    std::array<int32_t, kWindow + kHistory> history_{};
    int pos_ = 0;
    std::array<Channel, 2> channels_;
};

}  // namespace zelph::ape
