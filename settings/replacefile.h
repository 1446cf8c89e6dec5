#pragma once
// Replaces a small file's contents as one step: the bytes are written and
// synced beside it under a fresh name, then renamed over it, so a crash or a
// full disk leaves the previous file rather than a truncated one. A path that
// is a symbolic link has its target replaced; the link stays.

#include <cstddef>
#include <string>

namespace zelph {

// Returns "", or why the file could not be replaced: "PATH: reason".
std::string ReplaceFileContents(const std::string& path, const void* data, std::size_t size);

}  // namespace zelph
