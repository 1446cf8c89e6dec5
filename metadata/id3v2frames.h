#pragma once
// ID3v2 beyond what TagLib's property map carries: a tag read again frame
// by frame, comments and lyrics with their language and
// description, and the MusicBrainz fields under the descriptions other
// taggers use.

#include <string>
#include <vector>

#include "metadata/tags.h"

namespace TagLib {
class File;
namespace ID3v2 {
class Tag;
}
}  // namespace TagLib

namespace zelph {

// Makes the frames of `tag`, which TagLib read from `offset` in `file`,
// again from the tag's bytes. Returns false when a frame no reader could
// make sense of ended the reading: the frames behind it are lost.
bool RereadTag(TagLib::File& file, long offset, TagLib::ID3v2::Tag& tag);

// The language and description of every comment and lyrics frame, under
// the field name TagLib gives the frame's text.
void ReadTextLabels(const TagLib::ID3v2::Tag& tag, std::map<std::string, std::vector<TextLabel>>& labels);

// Replaces the fields of `tag` (not its pictures) with those of `tags`;
// returns the fields it cannot hold.
std::vector<std::string> WriteId3v2Fields(TagLib::ID3v2::Tag& tag, const Tags& tags);

}  // namespace zelph
