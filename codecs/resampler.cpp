#include "codecs/resampler.h"

#include "codecs/floatmode.h"
#include "codecs/soxrcalls.h"

namespace zelph {

Resampler::Resampler(double inputRate, double outputRate, unsigned channels)
    : calls_(std::make_unique<SoxrCalls>()), ratio_(outputRate / inputRate), channels_(channels) {
    if (inputRate <= 0 || outputRate <= 0 || channels == 0 || !LoadSoxrCalls(libraries_, *calls_)) return;
    const soxr_io_spec_t io = calls_->soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = calls_->soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    soxr_ = calls_->soxr_create(inputRate, outputRate, channels, &error, &io, &quality, nullptr);
    if (error) {
        calls_->soxr_delete(soxr_);
        soxr_ = nullptr;
    }
}

Resampler::~Resampler() {
    if (soxr_) calls_->soxr_delete(soxr_);
}

bool Resampler::Process(const float* input, std::size_t frames, std::vector<float>& out) {
    return frames == 0 || Run(input, frames, out);
}

bool Resampler::Flush(std::vector<float>& out) { return Run(nullptr, 0, out); }

// Feeds the input (none: flush) until the library has taken all of it and
// has nothing more to give for it.
bool Resampler::Run(const float* input, std::size_t frames, std::vector<float>& out) {
    if (!soxr_) return false;
    // Also for engines that keep the thread's own mode around the resampler.
    const DenormalsFlushed denormalsFlushed;
    const std::size_t room = static_cast<std::size_t>(frames * ratio_) + 1024;
    do {
        const std::size_t start = out.size();
        out.resize(start + room * channels_);
        std::size_t taken = 0, given = 0;
        if (calls_->soxr_process(soxr_, input, frames, &taken, out.data() + start, room, &given) != nullptr) {
            out.resize(start);
            return false;
        }
        out.resize(start + given * channels_);
        if (input) {
            input += taken * channels_;
            frames -= taken;
        }
        if (given < room && frames == 0) return true;
    } while (true);
}

}  // namespace zelph
