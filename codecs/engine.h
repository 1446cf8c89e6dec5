#pragma once
// What every engine shares: how it is started, how it talks to the runner
// through the four shared fields of its Job, and the frame that makes every
// path out of an engine release everything before the runner is told.
//
// An engine is written as a body run by RunEngine:
//
//   void DecodeSomething(Job* job) {
//       RunEngine(job, [](EngineRun& run) {
//           File source = File::OpenRead(run.job().sourcePath);
//           ...                                 // open, load, work loop
//           run.Progress(done, total);
//           if (run.StopRequested()) return false;
//           ...
//           return target.Close();            // true: the output is complete
//       });
//   }
//
// Files, buffers and libraries are locals of the body (RAII), so they are
// closed and released on every return, before `succeeded` and `running`
// are stored.

#include <cstdint>
#include <utility>

#include "core/job.h"

namespace zelph {

// The four fields (`running`, `stopRequested`, `succeeded`, `progress`) are
// plain words of the Job shared between two threads; these are the only ways
// to touch them while an engine may run. Stores release and loads acquire, so
// whoever reads `running` = 0 also sees every file closed and every result.
int32_t LoadShared(const int32_t& field);
void StoreShared(int32_t& field, int32_t value);

// The bar position after `done` of `total` units: base + done × span / total,
// truncated, without overflow, and never outside base … base + span.
int32_t ProgressAt(int32_t base, int32_t span, uint64_t done, uint64_t total);

// Starts `engine` on a detached thread of its own with `job`, the runner's
// current-job record, which must stay in place until `running` reads 0. The
// runner stores `running` = 1 before calling this. If no thread can be
// started, the job ends at once as a failure (`running` 0).
void StartEngine(EngineProc engine, Job* job);

// One run of an engine, as its body sees it.
class EngineRun {
public:
    explicit EngineRun(Job& job);

    const Job& job() const { return job_; }
    // Publishes the position after `done` of `total` units of this step.
    void Progress(uint64_t done, uint64_t total);
    bool StopRequested() const;

private:
    Job& job_;
    int32_t base_;
};

// Marks the run as started, runs `body`, and once the body has returned (and
// with it released all it held) stores `succeeded` = 1 if it returned true,
// then `running` = 0 as the very last touch of the job. Nothing escapes: an
// exception out of the body counts as a failure.
template <class Body>
void RunEngine(Job* job, Body&& body) noexcept {
    bool complete = false;
    try {
        EngineRun run(*job);
        complete = std::forward<Body>(body)(run);
    } catch (...) {
        complete = false;
    }
    if (complete) StoreShared(job->succeeded, 1);
    StoreShared(job->running, 0);
}

}  // namespace zelph
