#pragma once
// One stage of the neural-network filter cascade: a sign-sign LMS filter on
// 16-bit coefficients over the stage's own past outputs. Decoding adds the
// prediction to the residual; encoding subtracts it from the sample.

#include <cstdint>
#include <vector>

namespace zelph::ape {

// The vector code of the filter's inner loop. The best one the processor
// has is chosen at start-up; tests force each in turn.
enum class FilterKernel { Sse2, Avx2 };

// False (and nothing changes) when the processor lacks the kernel. Filters
// made afterwards use it.
bool ForceFilterKernel(FilterKernel kernel);
FilterKernel ActiveFilterKernel();

class NNFilter {
public:
    // `order` is a multiple of 16.
    NNFilter(int order, int fractionBits);

    int32_t Decode(int32_t residual);
    int32_t Encode(int32_t sample);

    using Kernel = uint32_t (*)(int16_t* coeffs, const int16_t* window, const int16_t* steps, int order,
                                int16_t direction);

private:
    uint32_t StepAndDot();
    int32_t Round(uint32_t dot) const;
    // Records `output`, its adaption step and the residual's sign.
    void Adapt(int32_t output, int32_t residual);

    int order_;
    int fractionBits_;
    Kernel kernel_;
    std::vector<int16_t> coeffs_;
    // Sliding windows over the last outputs and adaption steps, one value
    // longer than the order: the coefficient step of a value is taken one
    // value late, fused with the next dot product, and needs the steps as they
    // stood then. Each window holds a run of free room so that it moves
    // without copying for most values.
    std::vector<int16_t> delay_;
    std::vector<int16_t> adapt_;
    int pos_;                // index just past the newest value in both windows
    int16_t direction_ = 0;  // the step still owed to the coefficients
    int64_t average_ = 0;
};

// The stages of a compression level in decoding order (1000 has none).
std::vector<NNFilter> FiltersForLevel(int level);

}  // namespace zelph::ape
