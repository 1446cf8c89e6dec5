#include "metadata/pictures.h"

#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/mp4tag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

#include "metadata/taglibtext.h"

namespace zelph {

namespace {

TagLib::ByteVector Bytes(const std::string& bytes) {
    return TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size()));
}

std::string Bytes(const TagLib::ByteVector& bytes) { return std::string(bytes.data(), bytes.size()); }

// APEv2 names a picture by its type; the order is the picture type's number.
constexpr std::array<const char*, 21> kApePictureKeys = {
    "Cover Art (Other)",          "Cover Art (Icon)",
    "Cover Art (Other Icon)",     "Cover Art (Front)",
    "Cover Art (Back)",           "Cover Art (Leaflet)",
    "Cover Art (Media)",          "Cover Art (Lead Artist)",
    "Cover Art (Artist)",         "Cover Art (Conductor)",
    "Cover Art (Band)",           "Cover Art (Composer)",
    "Cover Art (Lyricist)",       "Cover Art (Recording Location)",
    "Cover Art (During Recording)", "Cover Art (During Performance)",
    "Cover Art (Video Capture)",  "Cover Art (Fish)",
    "Cover Art (Illustration)",   "Cover Art (Band Logotype)",
    "Cover Art (Publisher Logotype)"};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

int ApePictureType(const std::string& key) {
    const std::string upper = Upper(key);
    for (std::size_t type = 0; type < kApePictureKeys.size(); ++type)
        if (Upper(kApePictureKeys[type]) == upper) return static_cast<int>(type);
    return -1;
}

// APEv2 pictures carry no media type; the bytes tell it.
std::string SniffMimeType(const std::string& data) {
    if (data.rfind("\xFF\xD8\xFF", 0) == 0) return "image/jpeg";
    if (data.rfind("\x89PNG", 0) == 0) return "image/png";
    if (data.rfind("GIF8", 0) == 0) return "image/gif";
    if (data.rfind("BM", 0) == 0) return "image/bmp";
    return "";
}

std::string ExtensionFor(const TagPicture& picture) {
    const std::string mime = picture.mimeType.empty() ? SniffMimeType(picture.data) : picture.mimeType;
    if (mime == "image/png") return ".png";
    if (mime == "image/gif") return ".gif";
    if (mime == "image/bmp") return ".bmp";
    return ".jpg";
}

// The text before an APEv2 picture's bytes is by custom a file name, which
// is how other readers (FFmpeg among them) tell a picture from other binary
// items: the description becomes one, with the picture's extension.
std::string ApePictureName(const TagPicture& picture) {
    const std::string extension = ExtensionFor(picture);
    const std::string& name = picture.description;
    const bool named = name.size() > extension.size() &&
                       Upper(name.substr(name.size() - extension.size())) == Upper(extension);
    if (named) return name;
    return (name.empty() ? "cover" : name) + extension;
}

}  // namespace

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

namespace {

// Vorbis comments and FLAC files hold the same picture block.
std::vector<TagPicture> FromPictureBlocks(const TagLib::List<TagLib::FLAC::Picture*>& blocks) {
    std::vector<TagPicture> pictures;
    for (const TagLib::FLAC::Picture* picture : blocks)
        pictures.push_back({static_cast<int>(picture->type()), Utf8(picture->mimeType()),
                            Utf8(picture->description()), Bytes(picture->data())});
    return pictures;
}

// Each block goes to `holder`, which owns it from there.
template <typename Holder>
void AddPictureBlocks(Holder& holder, const std::vector<TagPicture>& pictures) {
    for (const TagPicture& picture : pictures) {
        auto* block = new TagLib::FLAC::Picture;
        block->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
        block->setMimeType(FromUtf8(picture.mimeType));
        block->setDescription(FromUtf8(picture.description));
        block->setData(Bytes(picture.data));
        holder.addPicture(block);
    }
}

}  // namespace

std::vector<TagPicture> ReadPictures(TagLib::Ogg::XiphComment& tag) { return FromPictureBlocks(tag.pictureList()); }

void WritePictures(TagLib::Ogg::XiphComment& tag, const std::vector<TagPicture>& pictures) {
    AddPictureBlocks(tag, pictures);
}

std::vector<TagPicture> ReadPictures(TagLib::FLAC::File& file) { return FromPictureBlocks(file.pictureList()); }

void WritePictures(TagLib::FLAC::File& file, const std::vector<TagPicture>& pictures) {
    AddPictureBlocks(file, pictures);
}

bool IsApePictureKey(const std::string& key) { return ApePictureType(key) >= 0; }

std::vector<TagPicture> ReadPictures(const TagLib::APE::Tag& tag) {
    std::vector<TagPicture> pictures;
    for (const auto& [key, item] : tag.itemListMap()) {
        const int type = ApePictureType(Utf8(key));
        if (type < 0 || item.type() != TagLib::APE::Item::Binary) continue;
        const std::string value = Bytes(item.binaryData());
        const std::size_t nameEnd = value.find('\0');
        if (nameEnd == std::string::npos) continue;
        TagPicture picture{type, "", value.substr(0, nameEnd), value.substr(nameEnd + 1)};
        picture.mimeType = SniffMimeType(picture.data);
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

std::vector<TagPicture> ReadPictures(const TagLib::MP4::Tag& tag) {
    std::vector<TagPicture> pictures;
    if (!tag.contains("covr")) return pictures;
    for (const TagLib::MP4::CoverArt& cover : tag.item("covr").toCoverArtList()) {
        TagPicture picture{3, "", "", Bytes(cover.data())};
        picture.mimeType = SniffMimeType(picture.data);
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

std::vector<std::string> WritePictures(TagLib::MP4::Tag& tag, const std::vector<TagPicture>& pictures) {
    constexpr std::pair<const char*, TagLib::MP4::CoverArt::Format> kFormats[] = {
        {"image/jpeg", TagLib::MP4::CoverArt::JPEG},
        {"image/png", TagLib::MP4::CoverArt::PNG},
        {"image/gif", TagLib::MP4::CoverArt::GIF},
        {"image/bmp", TagLib::MP4::CoverArt::BMP}};
    std::vector<std::string> dropped;
    TagLib::MP4::CoverArtList covers;
    for (const TagPicture& picture : pictures) {
        const std::string mime = SniffMimeType(picture.data);
        const auto format = std::find_if(std::begin(kFormats), std::end(kFormats),
                                         [&](const auto& known) { return mime == known.first; });
        if (format == std::end(kFormats))
            dropped.push_back("PICTURE (type " + std::to_string(picture.type) + ")");
        else
            covers.append(TagLib::MP4::CoverArt(format->second, Bytes(picture.data)));
    }
    tag.removeItem("covr");
    if (!covers.isEmpty()) tag.setItem("covr", covers);
    return dropped;
}

std::vector<TagPicture> ReadPictures(const TagLib::ASF::Tag& tag) {
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

std::vector<std::string> WritePictures(TagLib::APE::Tag& tag, const std::vector<TagPicture>& pictures) {
    std::vector<std::string> dropped;
    std::set<int> written;
    for (const TagPicture& picture : pictures) {
        const bool known = picture.type >= 0 && picture.type < static_cast<int>(kApePictureKeys.size());
        if (!known || !written.insert(picture.type).second) {
            dropped.push_back("PICTURE (type " + std::to_string(picture.type) + ")");
            continue;
        }
        std::string value = ApePictureName(picture);
        value.push_back('\0');
        value += picture.data;
        const TagLib::String key = kApePictureKeys[static_cast<std::size_t>(picture.type)];
        tag.setItem(key, TagLib::APE::Item(key, Bytes(value), true));
    }
    return dropped;
}

}  // namespace zelph
