#include "plugins/macdll/nnfilter.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZELPH_X86 1
#endif

namespace zelph::ape {
namespace {

constexpr int kRoom = 512;

int16_t NegSign(int32_t x) { return static_cast<int16_t>((x < 0) - (x > 0)); }

int16_t ClipToInt16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

// The kernels: first the owed step (coefficient += direction × step, wrapping
// at 16 bits), then the dot product of the stepped coefficients with the
// window, wrapping at 32 bits, in one pass over the coefficients. The
// multiply-add pairs of the vector units wrap exactly as the sum must.

#if ZELPH_X86
uint32_t StepAndDotSse2(int16_t* coeffs, const int16_t* window, const int16_t* steps, int order, int16_t direction) {
    const __m128i d = _mm_set1_epi16(direction);
    __m128i sum0 = _mm_setzero_si128(), sum1 = _mm_setzero_si128();
    for (int i = 0; i < order; i += 16) {
        auto* c = reinterpret_cast<__m128i*>(coeffs + i);
        const auto* w = reinterpret_cast<const __m128i*>(window + i);
        const auto* s = reinterpret_cast<const __m128i*>(steps + i);
        const __m128i c0 = _mm_add_epi16(_mm_loadu_si128(c), _mm_mullo_epi16(_mm_loadu_si128(s), d));
        const __m128i c1 = _mm_add_epi16(_mm_loadu_si128(c + 1), _mm_mullo_epi16(_mm_loadu_si128(s + 1), d));
        _mm_storeu_si128(c, c0);
        _mm_storeu_si128(c + 1, c1);
        sum0 = _mm_add_epi32(sum0, _mm_madd_epi16(c0, _mm_loadu_si128(w)));
        sum1 = _mm_add_epi32(sum1, _mm_madd_epi16(c1, _mm_loadu_si128(w + 1)));
    }
    __m128i sum = _mm_add_epi32(sum0, sum1);
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(sum));
}

__attribute__((target("avx2"))) uint32_t StepAndDotAvx2(int16_t* coeffs, const int16_t* window,
                                                        const int16_t* steps, int order, int16_t direction) {
    const __m256i d = _mm256_set1_epi16(direction);
    __m256i sum = _mm256_setzero_si256();
    for (int i = 0; i < order; i += 16) {
        auto* c = reinterpret_cast<__m256i*>(coeffs + i);
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(steps + i));
        const __m256i stepped = _mm256_add_epi16(_mm256_loadu_si256(c), _mm256_mullo_epi16(s, d));
        _mm256_storeu_si256(c, stepped);
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + i));
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(stepped, w));
    }
    __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(half));
}

bool HasKernel(FilterKernel k) {
    __builtin_cpu_init();
    return k == FilterKernel::Sse2 || __builtin_cpu_supports("avx2");
}

NNFilter::Kernel CodeOf(FilterKernel k) { return k == FilterKernel::Avx2 ? StepAndDotAvx2 : StepAndDotSse2; }

FilterKernel BestKernel() { return HasKernel(FilterKernel::Avx2) ? FilterKernel::Avx2 : FilterKernel::Sse2; }
#else
// Elsewhere the compiler vectorises this loop for the processor it targets.
uint32_t StepAndDotPlain(int16_t* coeffs, const int16_t* window, const int16_t* steps, int order, int16_t direction) {
    uint32_t dot = 0;
    for (int i = 0; i < order; ++i) {
        coeffs[i] = static_cast<int16_t>(coeffs[i] + direction * steps[i]);
        dot += static_cast<uint32_t>(coeffs[i] * window[i]);
    }
    return dot;
}

bool HasKernel(FilterKernel) { return false; }
NNFilter::Kernel CodeOf(FilterKernel) { return StepAndDotPlain; }
FilterKernel BestKernel() { return FilterKernel::Sse2; }
#endif

std::atomic<FilterKernel> gKernel{BestKernel()};

}  // namespace

bool ForceFilterKernel(FilterKernel kernel) {
    if (!HasKernel(kernel)) return false;
    gKernel = kernel;
    return true;
}

FilterKernel ActiveFilterKernel() { return gKernel; }

NNFilter::NNFilter(int order, int fractionBits)
    : order_(order),
      fractionBits_(fractionBits),
      kernel_(CodeOf(gKernel)),
      coeffs_(order),
      delay_(order + 1 + kRoom),
      adapt_(order + 1 + kRoom),
      pos_(order + 1) {}

int32_t NNFilter::Round(uint32_t dot) const {
    return static_cast<int32_t>(dot + (1u << (fractionBits_ - 1))) >> fractionBits_;
}

// The step owed for the previous value uses the steps as they stood before
// that value's adaption halved three of them, so the halving waits until now.
uint32_t NNFilter::StepAndDot() {
    int16_t* newest = adapt_.data() + pos_ - 1;
    const uint32_t dot = kernel_(coeffs_.data(), delay_.data() + pos_ - order_, newest - order_, order_, direction_);
    newest[-1] >>= 1;
    newest[-2] >>= 1;
    newest[-8] >>= 1;
    return dot;
}

void NNFilter::Adapt(int32_t output, int32_t residual) {
    // The step grows with the output's size against its running average.
    const int64_t magnitude = std::llabs(int64_t{output});
    int16_t step = 0;
    if (magnitude != 0) {
        step = magnitude > average_ * 3 ? 32 : magnitude > average_ * 4 / 3 ? 16 : 8;
        if (output > 0) step = static_cast<int16_t>(-step);
    }
    average_ += (magnitude - average_) / 16;
    direction_ = NegSign(residual);

    delay_[pos_] = ClipToInt16(output);
    adapt_[pos_] = step;
    if (++pos_ == static_cast<int>(delay_.size())) {
        std::copy(delay_.end() - (order_ + 1), delay_.end(), delay_.begin());
        std::copy(adapt_.end() - (order_ + 1), adapt_.end(), adapt_.begin());
        pos_ = order_ + 1;
    }
}

int32_t NNFilter::Decode(int32_t residual) {
    const int32_t output = static_cast<int32_t>(uint32_t(residual) + uint32_t(Round(StepAndDot())));
    Adapt(output, residual);
    return output;
}

int32_t NNFilter::Encode(int32_t sample) {
    const int32_t residual = static_cast<int32_t>(uint32_t(sample) - uint32_t(Round(StepAndDot())));
    Adapt(sample, residual);
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
