#pragma once
// Why an engine could not read or write a file, in the plain words both front
// ends show.

#include <cstdint>
#include <string>

namespace zelph {

// "cannot read song: no such file", "... : in use by another program", ...
std::string ReadProblem(const std::string& path, int error);
// "cannot write: disk full", "cannot write: permission denied", ...
std::string WriteProblem(int error);
// "already gone" for a file that is not there, else "cannot delete: ...".
std::string DeleteProblem(int error);

// "source ends early: 119.98 of 240.04 s" when a source's audio (`decoded`
// sample frames) falls short of the length its own header states by more
// than `slack` frames, else "". The job still converts what is there, but
// its source is never deleted.
std::string EndsEarly(uint64_t decoded, uint64_t stated, uint64_t slack, uint32_t sampleRate);

}  // namespace zelph
