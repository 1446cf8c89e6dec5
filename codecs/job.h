#pragma once
// One run of one engine on one source file and one target file: the planned
// job (a value, fixed once planned) and the state its engine shares with the
// runner while it runs.

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <typeinfo>


namespace zelph {

// Each engine is described once, in its own file (its header declares its
// descriptor, kEnc... or kDec...); the target and source rows point to these,
// and the runner's engine table is keyed by them.
struct EngineDescriptor;
using EngineId = const EngineDescriptor*;

// "ENCWAVPCM", "DECMP3", ...: the names the plan is printed with.
std::string_view EngineName(EngineId id);

// A form of PCM WAV the WAV stage brings its input to, as a target's row
// asks for its encoder's input: 0 channels or 0 bits keep the source's
// (channels up to keepUpTo as they are, more folded to stereo).
struct PcmForm {
    int channels = 2;
    int bits = 16;
    int keepUpTo = 8;
    int frameBytes() const { return channels * bits / 8; }
    bool operator==(const PcmForm&) const = default;
};

// The block of the settings record (or of the target tuning) an engine
// reads, or the input form a row asks of the WAV stage (which a decoder may
// write its audio in straight away).
// A block points into the record or the tuning, which outlive every run. The
// block's type is kept beside it, so an engine asks for its own block by type
// and a new engine's block needs no line here.
class EngineSettings {
public:
    EngineSettings() = default;
    EngineSettings(PcmForm form) : form_(form), hasForm_(true) {}
    template <typename Block>
    EngineSettings(const Block* block) : block_(block), type_(&typeid(Block)) {}

    // The block when it is a `Block`, or nullptr.
    template <typename Block>
    const Block* Get() const {
        return type_ && *type_ == typeid(Block) ? static_cast<const Block*>(block_) : nullptr;
    }
    const PcmForm* Form() const { return hasForm_ ? &form_ : nullptr; }

    bool operator==(const EngineSettings& other) const {
        return hasForm_ == other.hasForm_ && (!hasForm_ || form_ == other.form_) && block_ == other.block_;
    }

private:
    PcmForm form_;
    bool hasForm_ = false;
    const void* block_ = nullptr;
    const std::type_info* type_ = nullptr;
};

struct Job {
    uint32_t fileIndex = 0;
    EngineId engine = nullptr;
    EngineSettings settings;
    std::string sourcePath;
    std::string targetPath;      // empty: rewrite the source in place
    // A second file the encoder writes beside its target (a lossy
    // output's correction file), placed with it; "" when none.
    std::string companionPath{};
    // The WAV stage may make the target a second name of a source that is
    // already in form: the next job only reads it.
    bool mayLinkSource = false;
    // The part of its source a cut takes, in CD frames (1/75 s): from
    // firstFrame up to endFrame, or to the source's end when endFrame < 0.
    int64_t firstFrame = 0;
    int64_t endFrame = -1;
    int32_t progressStart = 0;   // percent of the file's bar where this job starts
    int32_t progressSpan = 0;    // share of the bar this job covers
};

// Shared between the runner and the engine thread while a job runs. Each
// field has one writer at a time; a store is released, so a reader that sees
// it also sees everything the writer did before it.
struct JobState {
    std::atomic<int32_t> running{0};
    std::atomic<int32_t> stopRequested{0};
    std::atomic<int32_t> succeeded{0};
    std::atomic<int32_t> progress{0};  // percent of the file's bar, 0..100
    // Why the job failed, in plain words; written by the engine before its
    // last store to `running`, read by the runner only after that.
    std::string reason;
    // A file the engine put under a run file's name, kept open with the run's
    // shared lock (formats/runfilehold.h) until the runner's own lock has
    // followed it, so that no other run's clean-up finds it unheld between
    // the two; -1: none. Written like `reason`.
    int heldFile = -1;

    JobState() = default;
    JobState(const JobState&) = delete;
    JobState& operator=(const JobState&) = delete;
    ~JobState() { ReleaseHeldFile(); }
    void ReleaseHeldFile() {
        if (heldFile >= 0) ::close(heldFile);
        heldFile = -1;
    }
};

// An engine carries out one job on its own thread (see codecs/engine.h for
// the rules every engine follows).
using EngineProc = void (*)(const Job& job, JobState& state);

struct EngineDescriptor {
    std::string_view name;
    EngineProc run;
};

}  // namespace zelph
