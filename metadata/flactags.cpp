#include "metadata/flactags.h"

#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/oggflacfile.h>

#include "metadata/tagform.h"
#include "metadata/xiphcomments.h"

namespace zelph {

namespace {

void ReadFlac(const std::string& path, TagReadResult& result) {
    TagLib::FLAC::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as FLAC";
        return;
    }
    if (file.hasID3v1Tag()) Overlay(result.tags.fields, file.ID3v1Tag()->properties());
    if (file.hasID3v2Tag()) ReadId3v2At(file, 0, file.ID3v2Tag(), result);
    if (file.hasXiphComment()) ReadProperties(result, file.xiphComment()->properties());
    result.tags.pictures = FromPictureBlocks(file.pictureList());
}

void WriteFlac(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::FLAC::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as FLAC";
        return;
    }
    result.dropped = WriteCommentFields(*file.xiphComment(true), tags);
    file.removePictures();
    for (const TagPicture& picture : tags.pictures) file.addPicture(PictureBlockOf(picture).release());
    file.strip(TagLib::FLAC::File::ID3v1 | TagLib::FLAC::File::ID3v2);
    if (!file.save()) result.error = "TagLib could not save the FLAC comments";
}

void ReadOggFlac(const std::string& path, TagReadResult& result) {
    ReadOggComment<TagLib::Ogg::FLAC::File>(path, result, "FLAC in Ogg");
}

}  // namespace

const TagForm kFlacTags{ReadFlac, WriteFlac};
const TagForm kOggFlacTags{ReadOggFlac, nullptr};

}  // namespace zelph
