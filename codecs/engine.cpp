#include "codecs/engine.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace zelph {

int32_t LoadShared(const int32_t& field) {
    return std::atomic_ref<const int32_t>(field).load(std::memory_order_acquire);
}

void StoreShared(int32_t& field, int32_t value) {
    std::atomic_ref<int32_t>(field).store(value, std::memory_order_release);
}

int32_t ProgressAt(int32_t base, int32_t span, uint64_t done, uint64_t total) {
    span = std::max(span, 0);
    if (total == 0 || done >= total) return base + span;
    // 128 bits: done × span cannot overflow for any 64-bit count.
    const auto step = static_cast<unsigned __int128>(done) * static_cast<unsigned>(span) / total;
    return base + static_cast<int32_t>(step);
}

void StartEngine(EngineProc engine, Job* job) {
    try {
        std::thread(engine, job).detach();
    } catch (...) {
        StoreShared(job->running, 0);
    }
}

EngineRun::EngineRun(Job& job) : job_(job), base_(LoadShared(job.progress)) {
    StoreShared(job_.running, 1);
}

void EngineRun::Progress(uint64_t done, uint64_t total) {
    StoreShared(job_.progress, ProgressAt(base_, job_.progressSpan, done, total));
}

bool EngineRun::StopRequested() const { return LoadShared(job_.stopRequested) != 0; }

}  // namespace zelph
