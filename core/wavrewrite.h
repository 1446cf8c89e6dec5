#pragma once
// Where a step that rewrites a WAV (GAIN, CUT) puts what it writes: its
// job's target, or with no target a new file beside the source that takes
// the source's name once complete, so that a source lent under the
// temporary WAV's name stays whole.

#include <stdio.h>

#include <cerrno>
#include <string>

#include "codecs/engine.h"
#include "codecs/reasons.h"
#include "formats/exclusivefile.h"
#include "formats/runfilehold.h"
#include "formats/waveheader.h"

namespace zelph {

// Reads the form of the job's source WAV, open in `source`; the offset of its
// audio, or 0 with the run failed and its reason.
inline uint32_t ReadSourceWav(EngineRun& run, const ExclusiveFile& source, WaveFormat& format) {
    if (!source.is_open()) {
        run.Fail(ReadProblem(run.job().sourcePath, source.error()));
        return 0;
    }
    std::string reason;
    const uint32_t dataOffset = ReadWaveFormat(source.fd(), format, &reason);
    if (dataOffset == 0) run.Fail(reason.empty() ? "not a WAV file it can read" : reason);
    return dataOffset;
}

// `write(target)` writes and closes the output, or fails the run and returns false.
template <typename Write>
void WriteWavOutput(EngineRun& run, Write write) {
    const Job& job = run.job();
    const bool inPlace = job.targetPath.empty();
    int held = -1;
    const std::string path = inPlace ? NewFileBeside(job.sourcePath, held) : job.targetPath;
    if (path.empty()) return run.Fail(WriteProblem(errno));
    if (inPlace) run.Hold(held);
    ExclusiveFile target(path, ExclusiveFile::kCreate);
    const bool written = target.is_open() ? write(target) : (run.Fail(WriteProblem(target.error())), false);
    if (written && (!inPlace || ::rename(path.c_str(), job.sourcePath.c_str()) == 0)) return run.Succeed();
    if (written) run.Fail(WriteProblem(errno));
    if (inPlace) ::unlink(path.c_str());
}

}  // namespace zelph
