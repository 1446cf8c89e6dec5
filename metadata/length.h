#pragma once
// How long a music file plays, as its headers say (TagLib's audio
// properties, read without scanning the whole stream).

#include <cstdint>
#include <optional>
#include <string>

namespace zelph {

// Milliseconds, or nothing when the file cannot be read as audio.
std::optional<int64_t> AudioLength(const std::string& path);

}  // namespace zelph
