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

namespace zelph {

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
