#pragma once
// RIFF WAVE's tag form: LIST/INFO for the few fields it has room for, and an
// "id3 " chunk (ID3v2.4) that holds them all.

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kWaveTags;

}  // namespace zelph
