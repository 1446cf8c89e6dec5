#pragma once
// Output names: the first free "%s%s(%d)%s" variant of a path.

#include <functional>
#include <string>

namespace zelph {

// `path` itself when nothing exists there (lstat fails) and `alsoTaken` does
// not claim it; otherwise folder + base + "(n)" + extension for the first
// free n >= 1. Only the file name is split: its last dot, unless that dot is
// the first character, starts the extension. Changes nothing on disk.
std::string MakeUniqueName(const std::string& path,
                           const std::function<bool(const std::string&)>& alsoTaken = nullptr);

// `path` with its extension (split as above) replaced by `extension`
// (a correction file's): the name of a second file that goes with it.
std::string CompanionName(const std::string& path, const std::string& extension);

// One name for one place, however it is spelt: the device and inode of the
// folder plus the file name ("./a.wav", "a.wav" and "link/a.wav" through a
// link to the same folder are one). The path itself when its folder is gone.
std::string PlaceOf(const std::string& path);

// The part after the last "/", and the part up to and including it.
std::string FileNameOf(const std::string& path);
std::string FolderOf(const std::string& path);

}  // namespace zelph
