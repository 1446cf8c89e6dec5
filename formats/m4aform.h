#pragma once
// How much audio a written M4A holds: its top-level boxes, each whole.

#include <cstdint>
#include <optional>

namespace zelph {

class ReadOnlyFile;

// The top-level boxes end exactly at the end of the file, a "moov" among
// them: the payload bytes of its "mdat" boxes.
std::optional<uint64_t> M4aAudioExtent(const ReadOnlyFile& file);

}  // namespace zelph
