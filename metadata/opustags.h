#pragma once
// Ogg Opus's tag form: Xiph comments with their picture blocks, and
// loudness gains in R128's convention.

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kOggOpusTags;

}  // namespace zelph
