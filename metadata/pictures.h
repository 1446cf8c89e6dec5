#pragma once
// Embedded pictures between the neutral form and each tag format's own
// picture record: the ID3v2 APIC frame, the FLAC picture block that Vorbis
// comments carry as METADATA_BLOCK_PICTURE, and the APEv2 binary
// "Cover Art (...)" items.

#include <string>
#include <vector>

#include "metadata/tags.h"

namespace TagLib {
namespace ID3v2 {
class Tag;
}
namespace APE {
class Tag;
}
namespace Ogg {
class XiphComment;
}
namespace FLAC {
class File;
}
namespace MP4 {
class Tag;
}
namespace ASF {
class Tag;
}
}  // namespace TagLib

namespace zelph {

std::vector<TagPicture> ReadPictures(const TagLib::ID3v2::Tag& tag);
void WritePictures(TagLib::ID3v2::Tag& tag, const std::vector<TagPicture>& pictures);

std::vector<TagPicture> ReadPictures(TagLib::Ogg::XiphComment& tag);
void WritePictures(TagLib::Ogg::XiphComment& tag, const std::vector<TagPicture>& pictures);

// A FLAC file's own PICTURE blocks.
std::vector<TagPicture> ReadPictures(TagLib::FLAC::File& file);
void WritePictures(TagLib::FLAC::File& file, const std::vector<TagPicture>& pictures);

std::vector<TagPicture> ReadPictures(const TagLib::APE::Tag& tag);
// APEv2 keeps one picture per type; the others are returned as dropped.
std::vector<std::string> WritePictures(TagLib::APE::Tag& tag, const std::vector<TagPicture>& pictures);
// MP4's "covr" items: front covers, by their format.
std::vector<TagPicture> ReadPictures(const TagLib::MP4::Tag& tag);
// "covr" holds JPEG, PNG, GIF and BMP pictures only, and no type or
// description; the others are returned as dropped.
std::vector<std::string> WritePictures(TagLib::MP4::Tag& tag, const std::vector<TagPicture>& pictures);
// Read only: ASF's WM/Picture attributes.
std::vector<TagPicture> ReadPictures(const TagLib::ASF::Tag& tag);

// Whether an APEv2 item key names a picture.
bool IsApePictureKey(const std::string& key);

}  // namespace zelph
