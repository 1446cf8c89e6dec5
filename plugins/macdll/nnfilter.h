#pragma once
// One stage of the neural-network filter cascade: a sign-sign LMS filter on
// 16-bit coefficients over the stage's own past outputs. Decoding adds the
// prediction to the residual; encoding subtracts it from the sample.

#include <cstdint>
#include <vector>

namespace zelph::ape {

class NNFilter {
public:
    NNFilter(int order, int fractionBits);
    void Reset();

    int32_t Decode(int32_t residual);
    int32_t Encode(int32_t sample);

private:
    int32_t Round(uint32_t dot) const;
    // Records `output` and its adaption step in the windows.
    void Adapt(int32_t output);

    int order_;
    int fractionBits_;
    std::vector<int16_t> coeffs_;
    // Sliding windows over the last `order_` outputs and adaption steps; each
    // holds a run of free room so that the window moves without copying for
    // most samples.
    std::vector<int16_t> delay_;
    std::vector<int16_t> adapt_;
    int pos_ = 0;  // index just past the newest value in both windows
    int64_t average_ = 0;
};

// The stages of a compression level in decoding order (1000 has none).
std::vector<NNFilter> FiltersForLevel(int level);

}  // namespace zelph::ape
