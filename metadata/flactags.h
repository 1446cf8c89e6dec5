#pragma once
// FLAC's tag forms: Xiph comments and PICTURE blocks in a FLAC file (ID3
// tags read, and stripped when written, as players read the comments), and
// the comments of FLAC in Ogg, read only.

#include "metadata/tags.h"

namespace zelph {

extern const TagForm kFlacTags;
extern const TagForm kOggFlacTags;

}  // namespace zelph
