#include "metadata/oggvorbistags.h"

#include <taglib/vorbisfile.h>

#include "metadata/xiphcomments.h"

namespace zelph {

namespace {

void ReadVorbis(const std::string& path, TagReadResult& result) {
    ReadOggComment<TagLib::Ogg::Vorbis::File>(path, result, "Ogg Vorbis");
}

void WriteVorbis(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteOggComment<TagLib::Ogg::Vorbis::File>(path, tags, result, "Ogg Vorbis", {"\x03vorbis", true});
}

}  // namespace

const TagForm kOggVorbisTags{ReadVorbis, WriteVorbis};

}  // namespace zelph
