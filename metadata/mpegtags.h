#pragma once
// MPEG audio's tag form: ID3v2.4 and ID3v1 written; APEv2 and older ID3
// read too.

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kMpegTags;

}  // namespace zelph
