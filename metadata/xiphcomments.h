#pragma once
// Xiph comments, the tag of Ogg streams and of FLAC files, and the picture
// block that both keep pictures in.

#include <taglib/flacpicture.h>
#include <taglib/tlist.h>
#include <taglib/xiphcomment.h>

#include <memory>
#include <string>
#include <vector>

#include "metadata/tags.h"

namespace zelph {

std::vector<TagPicture> FromPictureBlocks(const TagLib::List<TagLib::FLAC::Picture*>& blocks);
std::unique_ptr<TagLib::FLAC::Picture> PictureBlockOf(const TagPicture& picture);

// The comment's fields and its pictures over those read before.
void ReadComment(TagLib::Ogg::XiphComment& comment, TagReadResult& result);

// Replaces the comment's fields with those of `tags` (totals apart, as
// comments keep them); returns the fields it cannot hold.
std::vector<std::string> WriteCommentFields(TagLib::Ogg::XiphComment& comment, const Tags& tags);

// An Ogg stream's comment, read from or written to the stream of the TagLib
// file class `OggFile` (pictures in the comment).
template <typename OggFile>
void ReadOggComment(const std::string& path, TagReadResult& result, const char* formatName) {
    OggFile file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) {
        result.error = std::string("TagLib cannot read it as ") + formatName;
        return;
    }
    ReadComment(*file.tag(), result);
}

template <typename OggFile>
void WriteOggComment(const std::string& path, const Tags& tags, TagWriteResult& result, const char* formatName) {
    OggFile file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) {
        result.error = std::string("TagLib cannot open it as ") + formatName;
        return;
    }
    result.dropped = WriteCommentFields(*file.tag(), tags);
    file.tag()->removeAllPictures();
    for (const TagPicture& picture : tags.pictures) file.tag()->addPicture(PictureBlockOf(picture).release());
    if (!file.save()) result.error = "TagLib could not save the Vorbis comments";
}

}  // namespace zelph
