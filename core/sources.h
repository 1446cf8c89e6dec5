#pragma once
// The files a list of paths stands for: a file for itself, a folder for every
// file under it that a source row names. Both front ends add through here.

#include <istream>
#include <string>
#include <vector>

namespace zelph {

// A folder, or a part of one, that was not walked.
struct WalkProblem {
    std::string path;
    std::string reason;
};

struct SourceList {
    std::vector<std::string> files;
    std::vector<WalkProblem> problems;
};

// Each path that is not a folder as it stands, in its place; each folder as
// the files under it whose extension a source row names, sorted by path
// (byte order). Linked folders are followed, except one that leads back to a
// folder on its own way or to one walked already; that and a folder that
// cannot be read are problems with their reason. A CUE sheet, named or
// found, stands for its tracks (core/cuesheet.h), and the image it splits is
// then left out; a sheet that cannot be used is a problem.
SourceList ExpandSources(const std::vector<std::string>& paths);

// Paths one a line (a "\r" before the end of the line is part of the name),
// or separated by NUL characters; empty entries are left out.
std::vector<std::string> ReadPathList(std::istream& in, bool nulSeparated);

}  // namespace zelph
