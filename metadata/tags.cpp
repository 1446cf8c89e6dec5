#include "metadata/tags.h"

#include <taglib/id3v2tag.h>
#include <taglib/tfile.h>

#include <algorithm>
#include <initializer_list>

#include "metadata/apetags.h"
#include "metadata/fieldnames.h"
#include "metadata/id3v2frames.h"
#include "metadata/pictures.h"
#include "metadata/tagform.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

// Totals kept apart (TRACKTOTAL, some taggers' TOTALTRACKS) join
// their number as "n/N", the one form every target understands.
void JoinTotal(Fields& fields, const std::string& number, std::initializer_list<const char*> totals) {
    for (const char* total : totals) {
        auto found = fields.find(total);
        if (found == fields.end()) continue;
        auto target = fields.find(number);
        const bool joinable = target != fields.end() && target->second.size() == 1 &&
                              target->second[0].find('/') == std::string::npos && found->second.size() == 1;
        if (joinable) {
            target->second[0] += "/" + found->second[0];
            fields.erase(found);
        }
    }
}

// A MusicBrainz field read from a TXXX frame under its description
// ("MusicBrainz Disc Id", which TagLib reads as "MUSICBRAINZ DISC ID" where
// its own table lacks it) takes its neutral name.
void UseNeutralNames(Fields& fields) {
    for (const MusicBrainzName& name : kMusicBrainzNames) {
        std::string described = name.id3Description;
        std::transform(described.begin(), described.end(), described.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        const auto found = fields.find(described);
        if (found == fields.end()) continue;
        if (!fields.contains(name.key)) fields[name.key] = std::move(found->second);
        fields.erase(described);
    }
}

void JoinTotals(Fields& fields) {
    JoinTotal(fields, "TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"});
    JoinTotal(fields, "DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"});
}

void SplitTotal(Fields& fields, const std::string& number, const std::string& total) {
    auto found = fields.find(number);
    if (found == fields.end() || found->second.size() != 1) return;
    const std::size_t slash = found->second[0].find('/');
    if (slash == std::string::npos) return;
    fields[total] = {found->second[0].substr(slash + 1)};
    found->second[0].resize(slash);
}

// Pictures are carried on their own, whichever tag holds them.
bool IsPictureKey(const std::string& key) {
    return key == "APIC" || key == "covr" || key == "WM/Picture" || IsApePictureKey(key);
}

}  // namespace

void Overlay(Fields& fields, const TagLib::PropertyMap& map) {
    for (const auto& [key, values] : map) {
        std::vector<std::string>& out = fields[Utf8(key)];
        out.clear();
        for (const TagLib::String& value : values) out.push_back(Utf8(value));
    }
}

void ReadProperties(TagReadResult& result, const TagLib::PropertyMap& map) {
    Overlay(result.tags.fields, map);
    for (const TagLib::String& name : map.unsupportedData()) {
        const std::string text = Utf8(name);
        if (IsPictureKey(text)) continue;
        if (std::find(result.unreadable.begin(), result.unreadable.end(), text) == result.unreadable.end())
            result.unreadable.push_back(text);
    }
}

Fields WithTotalsApart(Fields fields) {
    SplitTotal(fields, "TRACKNUMBER", "TRACKTOTAL");
    SplitTotal(fields, "DISCNUMBER", "DISCTOTAL");
    return fields;
}

void ReadId3v2(TagReadResult& result, const TagLib::ID3v2::Tag* tag) {
    if (!tag) return;
    ReadProperties(result, tag->properties());
    ReadTextLabels(*tag, result.tags.labels);
    std::vector<TagPicture> pictures = ReadPictures(*tag);
    if (!pictures.empty()) result.tags.pictures = std::move(pictures);
}

void ReadId3v2At(TagLib::File& file, long offset, TagLib::ID3v2::Tag* tag, TagReadResult& result) {
    if (offset >= 0 && !RereadTag(file, offset, *tag)) result.unreadable.push_back("ID3v2 (damaged frames)");
    ReadId3v2(result, tag);
}

TagReadResult ReadTags(const std::string& path, const TagForm& form) {
    TagReadResult result;
    form.read(path, result);
    JoinTotals(result.tags.fields);
    UseNeutralNames(result.tags.fields);
    return result;
}

void DropFileDescription(Tags& tags) {
    // Some encoders keep their source's speaker mask as a comment, and iTunes
    // its encoder's gapless figures and loudness: both are false once the
    // audio is folded or encoded again.
    for (const char* key : {"ENCODER", "ENCODER_OPTIONS", "ENCODING", "LENGTH", "WAVEFORMATEXTENSIBLE_CHANNEL_MASK",
                            "COMMENT:ITUNSMPB", "COMMENT:ITUNNORM", "ITUNSMPB", "ITUNNORM"})
        tags.fields.erase(key);
}

TagWriteResult WriteTags(const std::string& path, const Tags& tags, const TagForm& form) {
    TagWriteResult result;
    form.write(path, tags, result);
    return result;
}

}  // namespace zelph
