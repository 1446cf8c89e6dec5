#pragma once
// WavPack's tag form: an APEv2 tag (an ID3v1 tag is read too).

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kWavPackTags;

}  // namespace zelph
