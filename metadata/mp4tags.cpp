#include "metadata/mp4tags.h"

#include <taglib/mp4file.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "metadata/pictures.h"
#include "metadata/tagform.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

constexpr char kGaplessKey[] = "----:com.apple.iTunes:iTunSMPB";
// iTunes' free-form items hold the fields MP4 has no atom of its own for
// (ReplayGain's among them), under their own names.
constexpr char kFreeform[] = "----:com.apple.iTunes:";

bool IsFreeformField(const TagLib::String& key) { return key.startsWith(kFreeform) && key != kGaplessKey; }

// "covr" names JPEG, PNG, GIF and BMP pictures; any other is kept with its
// format left to the reader. It has no type or description.
void WriteCovers(TagLib::MP4::Tag& tag, const std::vector<TagPicture>& pictures) {
    constexpr std::pair<const char*, TagLib::MP4::CoverArt::Format> kFormats[] = {
        {"image/jpeg", TagLib::MP4::CoverArt::JPEG},
        {"image/png", TagLib::MP4::CoverArt::PNG},
        {"image/gif", TagLib::MP4::CoverArt::GIF},
        {"image/bmp", TagLib::MP4::CoverArt::BMP}};
    TagLib::MP4::CoverArtList covers;
    for (const TagPicture& picture : pictures) {
        const std::string mime = SniffMimeType(picture.data);
        const auto known = std::find_if(std::begin(kFormats), std::end(kFormats),
                                        [&](const auto& format) { return mime == format.first; });
        covers.append(TagLib::MP4::CoverArt(known == std::end(kFormats) ? TagLib::MP4::CoverArt::Unknown : known->second,
                                            Bytes(picture.data)));
    }
    tag.removeItem("covr");
    if (!covers.isEmpty()) tag.setItem("covr", covers);
}

void ReadMp4(const std::string& path, TagReadResult& result) {
    TagLib::MP4::File file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) {
        result.error = "TagLib cannot read it as MP4";
        return;
    }
    const TagLib::MP4::Tag& tag = *file.tag();
    const TagLib::PropertyMap map = tag.properties();
    Overlay(result.tags.fields, map);
    for (const TagLib::String& key : map.unsupportedData()) {
        if (IsFreeformField(key)) {
            std::vector<std::string>& values = result.tags.fields[Utf8(key.substr(sizeof kFreeform - 1).upper())];
            for (const TagLib::String& value : tag.item(key).toStringList()) values.push_back(Utf8(value));
        } else if (key != "covr" && key != kGaplessKey) {
            result.unreadable.push_back(Utf8(key));
        }
    }
    result.tags.pictures = ReadCovers(tag);
}

void WriteMp4(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::MP4::File file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) {
        result.error = "TagLib cannot open it as MP4";
        return;
    }
    TagLib::MP4::Tag& tag = *file.tag();
    const bool gapless = tag.contains(kGaplessKey);
    const TagLib::MP4::Item gaplessItem = tag.item(kGaplessKey);
    Fields fields = tags.fields;
    fields.erase("ITUNSMPB");
    const TagLib::PropertyMap before = tag.properties();
    for (const TagLib::String& key : before.unsupportedData())
        if (IsFreeformField(key)) tag.removeItem(key);
    for (const std::string& name : Keys(tag.setProperties(ToPropertyMap(fields)))) {
        const auto field = fields.find(name);
        if (field == fields.end()) continue;
        TagLib::StringList values;
        for (const std::string& value : field->second) values.append(FromUtf8(value));
        tag.setItem(kFreeform + FromUtf8(name), values);
    }
    if (gapless) tag.setItem(kGaplessKey, gaplessItem);
    WriteCovers(tag, tags.pictures);
    if (!file.save()) result.error = "TagLib could not save the MP4 tags";
}

}  // namespace

const TagForm kMp4Tags{ReadMp4, WriteMp4};

std::vector<TagPicture> ReadCovers(const TagLib::MP4::Tag& tag) {
    std::vector<TagPicture> pictures;
    if (!tag.contains("covr")) return pictures;
    for (const TagLib::MP4::CoverArt& cover : tag.item("covr").toCoverArtList()) {
        TagPicture picture{3, "", "", Bytes(cover.data())};
        picture.mimeType = SniffMimeType(picture.data);
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

std::string WriteGaplessInfo(const std::string& path, const GaplessInfo& info) {
    TagLib::MP4::File file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) return "TagLib cannot open it as MP4";
    // iTunes' own layout: a leading space, then eight-, eight-, eight- and
    // sixteen-digit hexadecimal fields and eight reserved ones.
    char text[64];
    std::snprintf(text, sizeof text, " 00000000 %08X %08X %016llX", static_cast<unsigned>(info.delay),
                  static_cast<unsigned>(info.padding), static_cast<unsigned long long>(info.frames));
    std::string value = text;
    for (int i = 0; i < 8; ++i) value += " 00000000";
    file.tag()->setItem(kGaplessKey, TagLib::StringList(FromUtf8(value)));
    return file.save() ? "" : "TagLib could not save the gapless figures";
}

}  // namespace zelph
