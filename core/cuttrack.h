#pragma once
// CUT: keeps one track of a CD image's PCM WAV, from the sample where its
// first CD frame starts up to the one where its end frame starts (the job's
// frames, at the WAV's own rate), so that the tracks of one image meet
// sample for sample. With no target the track replaces the WAV once it is
// complete; otherwise it is written to the target and the source is only read.

#include "codecs/job.h"

namespace zelph {

void CutTrack(const Job& job, JobState& state);
extern const EngineDescriptor kCutTrack;  // "CUT"

}  // namespace zelph
