#pragma once
// AIFF's tag form: an "ID3 " chunk (ID3v2.4).

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kAiffTags;

}  // namespace zelph
