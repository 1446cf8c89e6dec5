#pragma once
// One run of one engine on one source file and one target file.

#include <atomic>
#include <cstdint>
#include <string>

namespace zelph {

// Engine identifiers, compared exactly.
inline constexpr const char* kEncWavPcm = "ENCWAVPCM";
inline constexpr const char* kEncMp3Blade = "ENCMP3BLADE";
inline constexpr const char* kEncMp3Lame = "ENCMP3LAME";
inline constexpr const char* kEncMp3GoGo = "ENCMP3GOGO";
inline constexpr const char* kEncOggVorbis = "ENCOGGVORBIS";
inline constexpr const char* kEncApeMonkey = "ENCAPEMONKEY";
inline constexpr const char* kDecMp3 = "DECMP3";
inline constexpr const char* kDecOggVorbis = "DECOGGVORBIS";
inline constexpr const char* kDecApeMonkey = "DECAPEMONKEY";
inline constexpr const char* kDecFlac = "DECFLAC";
inline constexpr const char* kDecOpus = "DECOPUS";

// A value type: copied into the queue and out of it into the runner's
// current-job record. While an engine runs, the four flag fields are shared
// between the runner and the engine thread and are only touched through
// LoadShared/StoreShared below; everything else is fixed.
struct Job {
    uint16_t fileIndex = 0;
    alignas(4) int32_t running = 0;
    alignas(4) int32_t stopRequested = 0;
    alignas(4) int32_t succeeded = 0;
    alignas(4) int32_t progress = 0;  // percent of the file's bar, 0..100
    int32_t progressSpan = 0;         // share of the bar this job covers
    void* engineParams = nullptr;     // the engine's settings block; not owned
    std::string sourcePath;
    std::string targetPath;           // empty: rewrite the source in place
    std::string engineId;
    // Why the engine failed, when it can say (a fixed text); written before
    // running = 0, so the runner may read it once it sees the job ended.
    const char* failureReason = nullptr;
};

}  // namespace zelph

namespace zelph {

// The shared fields are read and written whole: a store is released, so a
// reader that sees it also sees everything the writer did before it.
inline int32_t LoadShared(const int32_t& field) {
    return std::atomic_ref<const int32_t>(field).load(std::memory_order_acquire);
}
inline void StoreShared(int32_t& field, int32_t value) {
    std::atomic_ref<int32_t>(field).store(value, std::memory_order_release);
}

// An engine carries out one job on its own thread (see codecs/engine.h for
// the rules every engine follows).
using EngineProc = void (*)(Job* job);

}  // namespace zelph
