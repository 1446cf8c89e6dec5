#pragma once
// DECAPEMONKEY and ENCAPEMONKEY: Monkey's Audio to PCM WAV and back, through
// the MACDll.so codec library. The library reads the source of a decode and
// writes the target of an encode itself, by path.

#include "codecs/job.h"

namespace zelph {

// Decodes `sourcePath` into a WAV at `targetPath` in the file's own channel
// count, rate and sample size.
void DecodeApe(const Job& job, JobState& state);
extern const EngineDescriptor kDecApeMonkey;  // "DECAPEMONKEY"

// Compresses the WAV at `sourcePath` into `targetPath` at the compression
// level of the job's ApeSettings block.
void EncodeApe(const Job& job, JobState& state);
extern const EngineDescriptor kEncApeMonkey;  // "ENCAPEMONKEY"

}  // namespace zelph
