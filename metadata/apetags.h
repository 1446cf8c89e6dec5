#pragma once
// Monkey's Audio's tag form, APEv2, and the APEv2 tag itself, which other
// formats' files may carry too: its fields, and its pictures as
// binary "Cover Art (...)" items.

#include <string>
#include <vector>

#include "metadata/tags.h"

namespace TagLib {
namespace APE {
class Tag;
}
}  // namespace TagLib

namespace zelph {

extern const TagForm kApeTags;

// The tag's fields over those read before; its pictures where none were.
void ReadApeTag(TagReadResult& result, const TagLib::APE::Tag* tag);

std::vector<TagPicture> ReadPictures(const TagLib::APE::Tag& tag);

// `tags` into an empty APEv2 tag; what it cannot hold goes to result.dropped.
void WriteApeTag(TagLib::APE::Tag& tag, const Tags& tags, TagWriteResult& result);

// Whether an APEv2 item key names a picture.
bool IsApePictureKey(const std::string& key);

}  // namespace zelph
