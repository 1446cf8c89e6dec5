#pragma once
// What makes a file on disk the one we saw: a file replaced, rewritten or
// still growing after we looked at it no longer matches.

#include <cstdint>
#include <optional>
#include <string>

namespace zelph {

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    // A short file can be rewritten within one tick of the clock with the
    // same size; its bytes tell.
    std::optional<uint64_t> contentHash;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path` (through links), or
// nothing when there is none; `errno` then says why (EISDIR for any other
// kind of file).
std::optional<FileIdentity> IdentityOf(const std::string& path);

}  // namespace zelph
