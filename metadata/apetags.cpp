#include "metadata/apetags.h"

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

#include "metadata/pictures.h"
#include "metadata/tagform.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

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

// APEv2 keeps one picture per type; the others are returned as dropped.
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

void ReadMonkey(const std::string& path, TagReadResult& result) {
    ReadApeTagged<TagLib::APE::File>(path, result, "Monkey's Audio");
}

void WriteMonkey(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteApeTagged<TagLib::APE::File>(path, tags, result, "Monkey's Audio");
}

}  // namespace

const TagForm kApeTags{ReadMonkey, WriteMonkey};

bool IsApePictureKey(const std::string& key) { return ApePictureType(key) >= 0; }

void WriteApeTag(TagLib::APE::Tag& tag, const Tags& tags, TagWriteResult& result) {
    result.dropped = Keys(tag.setProperties(ToPropertyMap(tags.fields)));
    for (std::string& picture : WritePictures(tag, tags.pictures)) result.dropped.push_back(std::move(picture));
}

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

void ReadApeTag(TagReadResult& result, const TagLib::APE::Tag* tag) {
    if (!tag) return;
    ReadProperties(result, tag->properties());
    if (result.tags.pictures.empty()) result.tags.pictures = ReadPictures(*tag);
}

}  // namespace zelph
