#pragma once
// Sample-rate conversion of interleaved float audio (libsoxr, high quality),
// for engines whose output must have another rate than their source.

#include <cstddef>
#include <memory>
#include <vector>

#include "codecs/libraryloader.h"

struct soxr;

namespace zelph {

struct SoxrCalls;

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

    // libsoxr's OpenMP runtime keeps its threads and globals once started,
    // so what is loaded stays for the rest of the process.
    CodecLibraries libraries_{CodecLibraries::Lifetime::kProcess};
    std::unique_ptr<SoxrCalls> calls_;
    soxr* soxr_ = nullptr;
    double ratio_;
    unsigned channels_;
};

}  // namespace zelph
