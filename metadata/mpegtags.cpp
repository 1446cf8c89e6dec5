#include "metadata/mpegtags.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "metadata/apetags.h"
#include "metadata/id3v2frames.h"
#include "metadata/pictures.h"
#include "metadata/tagform.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

void ReadMpeg(const std::string& path, TagReadResult& result) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as MPEG audio";
        return;
    }
    if (file.hasID3v1Tag()) Overlay(result.tags.fields, file.ID3v1Tag()->properties());
    if (file.hasAPETag()) ReadApeTag(result, file.APETag());
    if (file.hasID3v2Tag()) ReadId3v2At(file, 0, file.ID3v2Tag(), result);
}

void WriteMpeg(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as MPEG audio";
        return;
    }
    file.strip(TagLib::MPEG::File::AllTags);
    result.dropped = WriteId3v2Fields(*file.ID3v2Tag(true), tags);
    WritePictures(*file.ID3v2Tag(), tags.pictures);
    // ID3v1 is for old players only: what it cannot hold is in ID3v2.
    file.ID3v1Tag(true)->setProperties(ToPropertyMap(tags.fields));
    if (!file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                   TagLib::ID3v2::v4))
        result.error = "TagLib could not save the ID3 tags";
}

}  // namespace

const TagForm kMpegTags{ReadMpeg, WriteMpeg};

}  // namespace zelph
