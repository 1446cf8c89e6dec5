#include "metadata/wavpacktags.h"

#include <taglib/wavpackfile.h>

#include "metadata/apetags.h"

namespace zelph {

namespace {

void ReadWavPack(const std::string& path, TagReadResult& result) {
    ReadApeTagged<TagLib::WavPack::File>(path, result, "WavPack");
}

void WriteWavPack(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteApeTagged<TagLib::WavPack::File>(path, tags, result, "WavPack");
}

}  // namespace

const TagForm kWavPackTags{ReadWavPack, WriteWavPack};

}  // namespace zelph
