#include "metadata/othertags.h"

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavpackfile.h>

#include "metadata/apetags.h"
#include "metadata/mp4tags.h"
#include "metadata/pictures.h"
#include "metadata/tagform.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

// ASF's WM/Picture attributes.
std::vector<TagPicture> ReadPictureAttributes(const TagLib::ASF::Tag& tag) {
    std::vector<TagPicture> pictures;
    if (!tag.contains("WM/Picture")) return pictures;
    for (const TagLib::ASF::Attribute& attribute : tag.attribute("WM/Picture")) {
        const TagLib::ASF::Picture picture = attribute.toPicture();
        if (!picture.isValid()) continue;
        pictures.push_back({static_cast<int>(picture.type()), Utf8(picture.mimeType()), Utf8(picture.description()),
                            Bytes(picture.picture())});
    }
    return pictures;
}

// TagLib picks the reader by the file's extension; pictures are taken from
// the tag each kind keeps them in.
void ReadOther(const std::string& path, TagReadResult& result) {
    const TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull()) return;
    TagLib::File* file = ref.file();
    ReadProperties(result, file->properties());
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file); mp4 && mp4->tag())
        result.tags.pictures = ReadCovers(*mp4->tag());
    else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file); asf && asf->tag())
        result.tags.pictures = ReadPictureAttributes(*asf->tag());
    else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file); aiff && aiff->hasID3v2Tag())
        result.tags.pictures = ReadPictures(*aiff->tag());
    else if (auto* tta = dynamic_cast<TagLib::TrueAudio::File*>(file); tta && tta->hasID3v2Tag())
        result.tags.pictures = ReadPictures(*tta->ID3v2Tag());
    else if (auto* wv = dynamic_cast<TagLib::WavPack::File*>(file); wv && wv->hasAPETag())
        result.tags.pictures = ReadPictures(*wv->APETag());
    else if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file); mpc && mpc->hasAPETag())
        result.tags.pictures = ReadPictures(*mpc->APETag());
}

}  // namespace

const TagForm kOtherTags{ReadOther, nullptr};

}  // namespace zelph
