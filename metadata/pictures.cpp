#include "metadata/pictures.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>

#include "metadata/taglibtext.h"

namespace zelph {

std::string SniffMimeType(const std::string& data) {
    if (data.rfind("\xFF\xD8\xFF", 0) == 0) return "image/jpeg";
    if (data.rfind("\x89PNG", 0) == 0) return "image/png";
    if (data.rfind("GIF8", 0) == 0) return "image/gif";
    if (data.rfind("BM", 0) == 0) return "image/bmp";
    return "";
}

std::vector<TagPicture> ReadPictures(const TagLib::ID3v2::Tag& tag) {
    std::vector<TagPicture> pictures;
    for (const TagLib::ID3v2::Frame* frame : tag.frameList("APIC")) {
        const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!apic) continue;
        pictures.push_back({static_cast<int>(apic->type()), Utf8(apic->mimeType()), Utf8(apic->description()),
                            Bytes(apic->picture())});
    }
    return pictures;
}

void WritePictures(TagLib::ID3v2::Tag& tag, const std::vector<TagPicture>& pictures) {
    for (const TagPicture& picture : pictures) {
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setTextEncoding(TagLib::String::UTF8);
        frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
        frame->setMimeType(FromUtf8(picture.mimeType));
        frame->setDescription(FromUtf8(picture.description));
        frame->setPicture(Bytes(picture.data));
        tag.addFrame(frame);  // the tag owns it from here
    }
}

}  // namespace zelph
