#pragma once
// The tag forms of the formats FFmpeg decodes for us, each read where TagLib
// has a reader for the kind (MP4 items, ASF attributes, ID3v2, APEv2); read
// only, and a kind TagLib has no reader for holds no tags.

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kOtherTags;

}  // namespace zelph
