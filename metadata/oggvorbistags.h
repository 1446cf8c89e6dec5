#pragma once
// Ogg Vorbis's tag form: Vorbis comments, pictures as METADATA_BLOCK_PICTURE.

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kOggVorbisTags;

}  // namespace zelph
