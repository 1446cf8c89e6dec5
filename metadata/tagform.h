#pragma once
// The pieces each format's tag form is made of: TagLib's property maps into
// the neutral fields, number and total apart, and the ID3v2 tag that several
// formats carry.

#include <taglib/tpropertymap.h>

#include <map>
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

using Fields = std::map<std::string, std::vector<std::string>>;

// Fields of `map` take the place of the same fields in `fields`, so a richer
// tag read later wins over a poorer one read before it.
void Overlay(Fields& fields, const TagLib::PropertyMap& map);

// The fields of `map` overlaid, and what it holds that the neutral form
// cannot (pictures aside, which are carried on their own) noted.
void ReadProperties(TagReadResult& result, const TagLib::PropertyMap& map);

// "n/N" numbers split into number and total (TRACKTOTAL, DISCTOTAL), for
// the tag forms that keep the total in a field of its own.
Fields WithTotalsApart(Fields fields);

// The ID3v2 tag's fields, comment labels and pictures; its pictures replace
// those read before.
void ReadId3v2(TagReadResult& result, const TagLib::ID3v2::Tag* tag);

// The same, with TagLib's frames of the tag at `offset` made again first
// (TagLib alone loses frames behind an extended header and BOM-less UTF-16
// text); with `offset` -1 (the tag's place unknown), as TagLib read it.
void ReadId3v2At(TagLib::File& file, long offset, TagLib::ID3v2::Tag* tag, TagReadResult& result);

}  // namespace zelph
