#pragma once
// Monkey's Audio's tag form, APEv2, and the APEv2 tag itself, which other
// formats' files may carry too: its fields, and its pictures as
// binary "Cover Art (...)" items.

#include <string>
#include <vector>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>

#include "metadata/tagform.h"
#include "metadata/tags.h"

namespace zelph {

extern const TagForm kApeTags;

// The tag's fields over those read before; its pictures where none were.
void ReadApeTag(TagReadResult& result, const TagLib::APE::Tag* tag);

std::vector<TagPicture> ReadPictures(const TagLib::APE::Tag& tag);

// `tags` into an empty APEv2 tag; what it cannot hold goes to result.dropped.
void WriteApeTag(TagLib::APE::Tag& tag, const Tags& tags, TagWriteResult& result);

// The tag form of a TagLib file kind that keeps an APEv2 tag and may carry
// an ID3v1 one; `kind` names it in errors.
template <typename File>
void ReadApeTagged(const std::string& path, TagReadResult& result, const char* kind) {
    File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = std::string("TagLib cannot read it as ") + kind;
        return;
    }
    if (file.hasID3v1Tag()) Overlay(result.tags.fields, file.ID3v1Tag()->properties());
    if (file.hasAPETag()) ReadApeTag(result, file.APETag());
}

template <typename File>
void WriteApeTagged(const std::string& path, const Tags& tags, TagWriteResult& result, const char* kind) {
    File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = std::string("TagLib cannot open it as ") + kind;
        return;
    }
    file.strip();
    WriteApeTag(*file.APETag(true), tags, result);
    if (!file.save()) result.error = "TagLib could not save the APEv2 tag";
}

// Whether an APEv2 item key names a picture.
bool IsApePictureKey(const std::string& key);

}  // namespace zelph
