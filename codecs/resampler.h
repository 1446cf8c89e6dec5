#pragma once
// Sample-rate conversion of interleaved float audio (libsoxr, high quality),
// for engines whose output must have another rate than their source.

#include <cstddef>
#include <vector>

struct soxr;

namespace zelph {

class Resampler {
public:
    Resampler(double inputRate, double outputRate, unsigned channels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool ok() const { return soxr_ != nullptr; }

    // Converts `frames` interleaved frames and appends the frames ready so
    // far to `out`. False on a library error.
    bool Process(const float* input, std::size_t frames, std::vector<float>& out);
    // Appends what the filter still holds at the end of the input.
    bool Flush(std::vector<float>& out);

private:
    bool Run(const float* input, std::size_t frames, std::vector<float>& out);

    soxr* soxr_ = nullptr;
    double ratio_;
    unsigned channels_;
};

}  // namespace zelph
