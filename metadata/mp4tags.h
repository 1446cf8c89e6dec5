#pragma once
// MP4's tag form, as our M4A outputs carry it: iTunes items through TagLib's
// MP4::File, "covr" pictures, and iTunes' gapless figures (iTunSMPB), which
// describe the file's own encoding and stay when tags are written.

#include <cstdint>
#include <string>
#include <vector>

#include "metadata/tags.h"

namespace TagLib::MP4 {
class Tag;
}

namespace zelph {

extern const TagForm kMp4Tags;

// MP4's "covr" items: front covers, by their format.
std::vector<TagPicture> ReadCovers(const TagLib::MP4::Tag& tag);

// An encoder's priming and padding around the audio, in sample frames.
struct GaplessInfo {
    uint32_t delay = 0;
    uint32_t padding = 0;
    uint64_t frames = 0;  // the audio between them
};

// Writes `info` to the M4A at `path` as its "iTunSMPB" item; "" when saved,
// else why not.
std::string WriteGaplessInfo(const std::string& path, const GaplessInfo& info);

}  // namespace zelph
