#pragma once
// Embedded pictures between the neutral form and the ID3v2 APIC frame, which
// several formats' tags hold; each other tag kind's picture record is kept
// beside its form.

#include <string>
#include <vector>

#include "metadata/tags.h"

namespace TagLib {
namespace ID3v2 {
class Tag;
}
}  // namespace TagLib

namespace zelph {

std::vector<TagPicture> ReadPictures(const TagLib::ID3v2::Tag& tag);
void WritePictures(TagLib::ID3v2::Tag& tag, const std::vector<TagPicture>& pictures);

// A picture's media type told by its bytes, for the tag kinds that carry
// none; "" when they are none of JPEG, PNG, GIF or BMP.
std::string SniffMimeType(const std::string& data);

}  // namespace zelph
