#pragma once
// Float engines (libvorbis, libopus, libsoxr) run with denormal numbers
// flushed to zero. The tails of their filters and predictors decay into
// denormals, which the processor handles on a slow path at many times the
// cost of an ordinary operation; at that size they are far below what a
// 16-bit sample can hold, so flushing them leaves the audio as it is.
// oggenc and oggdec run the same way. The mode belongs to the thread: it is
// set for the engine's own work and restored when the guard goes, so that
// nothing else running on the thread sees it.

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace zelph {

class DenormalsFlushed {
public:
#if defined(__SSE__) || defined(__x86_64__)
    DenormalsFlushed() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~DenormalsFlushed() { _mm_setcsr(saved_); }
#elif defined(__aarch64__)
    DenormalsFlushed() {
        __asm__ volatile("mrs %0, fpcr" : "=r"(saved_));
        __asm__ volatile("msr fpcr, %0" : : "r"(saved_ | kFlushToZero));
    }
    ~DenormalsFlushed() { __asm__ volatile("msr fpcr, %0" : : "r"(saved_)); }
#endif
    DenormalsFlushed(const DenormalsFlushed&) = delete;
    DenormalsFlushed& operator=(const DenormalsFlushed&) = delete;

private:
#if defined(__SSE__) || defined(__x86_64__)
    static constexpr unsigned kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;  // MXCSR bits
    unsigned saved_;
#elif defined(__aarch64__)
    static constexpr unsigned long kFlushToZero = 1ul << 24;  // FPCR.FZ
    unsigned long saved_;
#endif
};

}  // namespace zelph
