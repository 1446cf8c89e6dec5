#pragma once
// Why an engine could not read or write a file, in the plain words both front
// ends show.

#include <string>

namespace zelph {

// "cannot read a.mp3: no such file", "... : in use by another program", ...
std::string ReadProblem(const std::string& path, int error);
// "cannot write: disk full", "cannot write: permission denied", ...
std::string WriteProblem(int error);
// "already gone" for a file that is not there, else "cannot delete: ...".
std::string DeleteProblem(int error);

}  // namespace zelph
