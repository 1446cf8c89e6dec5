#include "metadata/wavpacktags.h"

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/wavpackfile.h>

#include "metadata/apetags.h"
#include "metadata/tagform.h"

namespace zelph {

namespace {

void ReadWavPack(const std::string& path, TagReadResult& result) {
    TagLib::WavPack::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as WavPack";
        return;
    }
    if (file.hasID3v1Tag()) Overlay(result.tags.fields, file.ID3v1Tag()->properties());
    if (file.hasAPETag()) ReadApeTag(result, file.APETag());
}

void WriteWavPack(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::WavPack::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as WavPack";
        return;
    }
    file.strip();
    WriteApeTag(*file.APETag(true), tags, result);
    if (!file.save()) result.error = "TagLib could not save the APEv2 tag";
}

}  // namespace

const TagForm kWavPackTags{ReadWavPack, WriteWavPack};

}  // namespace zelph
