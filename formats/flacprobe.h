#pragma once
// FLAC's header readers: the file list's description and the read-back's
// audio extent.

#include <cstdint>
#include <optional>
#include <string>

namespace zelph {

class ReadOnlyFile;

std::string DescribeFlacFile(const std::string& path);  // native, or FLAC in Ogg

// Metadata blocks, each whole: the bytes of the frames after them, or
// nothing when the blocks do not fit in the file.
std::optional<uint64_t> FlacAudioExtent(const ReadOnlyFile& file);

}  // namespace zelph
