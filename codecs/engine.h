#pragma once
// What every engine shares: the state it shares with the runner and the
// frame of one run. An EngineRun lives for the whole engine procedure;
// declared first, it is destroyed last, after the engine's files and
// libraries (declared after it) are released, and its destructor publishes
// the result and then running = 0.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "codecs/job.h"

namespace zelph {

// How one stage of an engine ends: its work done, stopped at the user's
// request, or failed. A stage that does not end Done always carries the
// reason the user is shown, so no path out of an engine is silent.
class Outcome {
public:
    static Outcome Done() { return Outcome(true, ""); }
    static Outcome Stopped() { return Outcome(false, "stopped"); }
    static Outcome Failed(std::string reason) { return Outcome(false, std::move(reason)); }

    bool done() const { return done_; }
    const std::string& reason() const { return reason_; }

private:
    Outcome(bool done, std::string reason) : done_(done), reason_(std::move(reason)) {}
    bool done_;
    std::string reason_;
};

class EngineRun {
public:
    EngineRun(const Job& job, JobState& state) : job_(job), state_(state) {
        state_.progress.store(job.progressStart, std::memory_order_release);
        state_.running.store(1, std::memory_order_release);
    }
    ~EngineRun() {
        if (!succeeded_ || !note_.empty()) state_.reason = std::move(succeeded_ ? note_ : reason_);
        state_.succeeded.store(succeeded_ ? 1 : 0, std::memory_order_release);
        state_.running.store(0, std::memory_order_release);
    }
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    const Job& job() const { return job_; }
    bool StopRequested() const { return state_.stopRequested.load(std::memory_order_acquire) != 0; }
    // start + done/total of the span, truncated, never outside the job's range.
    void Progress(uint64_t done, uint64_t total) {
        const int64_t span = std::max<int32_t>(job_.progressSpan, 0);
        const int64_t step = total ? static_cast<int64_t>(static_cast<double>(std::min(done, total)) /
                                                          static_cast<double>(total) * span)
                                   : span;
        state_.progress.store(static_cast<int32_t>(job_.progressStart + std::clamp<int64_t>(step, 0, span)),
                              std::memory_order_release);
    }
    void Succeed() { succeeded_ = true; }
    // Says why the job fails; the first reason given is the one reported.
    void Fail(std::string reason) {
        if (reason_.empty()) reason_ = std::move(reason);
    }
    // True when the stage ended Done; otherwise its reason becomes the job's.
    bool GoesOn(const Outcome& outcome) {
        if (!outcome.done()) Fail(outcome.reason());
        return outcome.done();
    }

    // Keeps `fd` (a file now under a run file's name, locked) open until the
    // runner has followed it.
    void Hold(int fd) {
        state_.ReleaseHeldFile();
        state_.heldFile = fd;
    }

    // What a job that succeeds passed over (damaged data skipped, audio
    // missing at the end); told beside its result, and its source is kept.
    // Several notes are told together.
    void Note(const std::string& note) {
        if (note.empty()) return;
        note_ += (note_.empty() ? "" : "; ") + note;
    }

private:
    const Job& job_;
    JobState& state_;
    bool succeeded_ = false;
    std::string reason_;
    std::string note_;
};

// The encoder's own settings block; without it the job fails, saying so.
template <typename Block>
const Block* RequiredSettings(EngineRun& run) {
    const Block* block = run.job().settings.Get<Block>();
    if (!block) run.Fail("the engine was given no settings block");
    return block;
}

}  // namespace zelph
