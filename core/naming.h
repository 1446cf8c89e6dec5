#pragma once
// Output names: the first free "%s%s(%d)%s" variant of a path.

#include <set>
#include <string>

namespace zelph {

// `path` itself when nothing exists there (lstat fails) and it is not in
// `alsoTaken`; otherwise folder + base + "(n)" + extension for the first free
// n >= 1. Only the file name is split: its last dot, unless that dot is the
// first character, starts the extension. Changes nothing on disk.
std::string MakeUniqueName(const std::string& path, const std::set<std::string>& alsoTaken = {});

// The part after the last "/", and the part up to and including it.
std::string FileNameOf(const std::string& path);
std::string FolderOf(const std::string& path);

}  // namespace zelph
