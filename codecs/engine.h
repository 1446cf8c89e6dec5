#pragma once
// What every engine shares: the four job fields it shares with the runner,
// read and written atomically, and the frame of one run. An EngineRun lives
// for the whole engine procedure; declared first, it is destroyed last, after
// the engine's files and libraries (declared after it) are released, and its
// destructor publishes the result and then running = 0.

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "core/job.h"

namespace zelph {

class EngineRun {
public:
    explicit EngineRun(Job* job) : job_(*job), base_(job->progress) {
        StoreShared(job_.running, 1);
    }
    ~EngineRun() {
        StoreShared(job_.succeeded, succeeded_ ? 1 : 0);
        StoreShared(job_.running, 0);
    }
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    const Job& job() const { return job_; }
    bool StopRequested() const {
        return LoadShared(job_.stopRequested) != 0;
    }
    // base + done/total of the span, truncated, never outside the step's range.
    void Progress(uint64_t done, uint64_t total) {
        const int64_t span = std::max<int32_t>(job_.progressSpan, 0);
        const int64_t step = total ? static_cast<int64_t>(static_cast<double>(std::min(done, total)) /
                                                          static_cast<double>(total) * span)
                                   : span;
        StoreShared(job_.progress, static_cast<int32_t>(base_ + std::clamp<int64_t>(step, 0, span)));
    }
    void Succeed() { succeeded_ = true; }
    // Fails the job with a short reason for the front ends to show.
    void Fail(const char* reason) { job_.failureReason = reason; }

private:
    Job& job_;
    const int32_t base_;
    bool succeeded_ = false;
};

}  // namespace zelph
