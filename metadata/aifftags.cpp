#include "metadata/aifftags.h"

#include <taglib/aifffile.h>
#include <taglib/id3v2tag.h>

#include "metadata/id3v2frames.h"
#include "metadata/pictures.h"
#include "metadata/tagform.h"

namespace zelph {

namespace {

void ReadAiff(const std::string& path, TagReadResult& result) {
    TagLib::RIFF::AIFF::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as AIFF";
        return;
    }
    if (file.hasID3v2Tag()) ReadId3v2(result, file.tag());
}

void WriteAiff(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::RIFF::AIFF::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as AIFF";
        return;
    }
    file.tag()->removeFrames("APIC");
    result.dropped = WriteId3v2Fields(*file.tag(), tags);
    WritePictures(*file.tag(), tags.pictures);
    if (!file.save(TagLib::ID3v2::v4)) result.error = "TagLib could not save the AIFF tags";
}

}  // namespace

const TagForm kAiffTags{ReadAiff, WriteAiff};

}  // namespace zelph
