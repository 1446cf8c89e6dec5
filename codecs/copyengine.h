#pragma once
// The engine of a file taken as it is: a source a rule copies rather than
// converts, or an older output whose audio is still right and which only
// needs its tags brought up to date. Its bytes go unchanged to the target.

#include <atomic>
#include <string>

#include "codecs/job.h"

namespace zelph {

extern const EngineDescriptor kCopyFile;  // "COPYFILE"

// Copies `from` over the contents of `to` (made when missing); `stop` is
// looked at between blocks, `progress` told each block's share done.
// Returns "" or why not.
std::string CopyFileContents(const std::string& from, const std::string& to, const std::atomic<int32_t>* stop,
                             void (*progress)(void* context, uint64_t done, uint64_t total) = nullptr,
                             void* context = nullptr);

}  // namespace zelph
