#pragma once
// Xiph comments, the tag of Ogg streams and of FLAC files, and the picture
// block that both keep pictures in.

#include <taglib/flacpicture.h>
#include <taglib/oggfile.h>
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

// How a codec's comment packet is framed in its Ogg stream: the bytes it
// starts with and whether the comment list ends in a framing bit.
struct OggCommentPacket {
    const char* id;  // "\x03vorbis", "OpusTags"
    bool framingBit;
};

// Saves `comment` as the stream's comment packet, padded with zero bytes to
// the length of the packet it replaces when it fits there, else with
// kTagRoom to spare for the next write.
bool SaveOggComment(TagLib::Ogg::File& file, const TagLib::Ogg::XiphComment& comment, const OggCommentPacket& packet);

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
void WriteOggComment(const std::string& path, const Tags& tags, TagWriteResult& result, const char* formatName,
                     const OggCommentPacket& packet) {
    OggFile file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) {
        result.error = std::string("TagLib cannot open it as ") + formatName;
        return;
    }
    result.dropped = WriteCommentFields(*file.tag(), tags);
    file.tag()->removeAllPictures();
    for (const TagPicture& picture : tags.pictures) file.tag()->addPicture(PictureBlockOf(picture).release());
    if (!SaveOggComment(file, *file.tag(), packet)) result.error = "TagLib could not save the Vorbis comments";
}

}  // namespace zelph
