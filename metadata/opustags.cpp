#include "metadata/opustags.h"

#include <taglib/opusfile.h>

#include "metadata/xiphcomments.h"

namespace zelph {

namespace {

void ReadOpus(const std::string& path, TagReadResult& result) {
    ReadOggComment<TagLib::Ogg::Opus::File>(path, result, "Ogg Opus");
}

void WriteOpus(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteOggComment<TagLib::Ogg::Opus::File>(path, tags, result, "Ogg Opus", {"OpusTags", false});
}

}  // namespace

const TagForm kOggOpusTags{ReadOpus, WriteOpus, GainConvention::kR128};

}  // namespace zelph
