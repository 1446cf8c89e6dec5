#include "metadata/tags.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavpackfile.h>
#include <taglib/apetag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <initializer_list>

#include "metadata/fieldnames.h"
#include "metadata/id3v2frames.h"
#include "metadata/pictures.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

using Fields = std::map<std::string, std::vector<std::string>>;

// Fields of `map` take the place of the same fields in `fields`, so a richer
// tag read later wins over a poorer one read before it.
void Overlay(Fields& fields, const TagLib::PropertyMap& map) {
    for (const auto& [key, values] : map) {
        std::vector<std::string>& out = fields[Utf8(key)];
        out.clear();
        for (const TagLib::String& value : values) out.push_back(Utf8(value));
    }
}

// Totals kept apart (Vorbis's TRACKTOTAL, some taggers' TOTALTRACKS) join
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

// Vorbis comments keep the total in a field of its own.
void SplitTotal(Fields& fields, const std::string& number, const std::string& total) {
    auto found = fields.find(number);
    if (found == fields.end() || found->second.size() != 1) return;
    const std::size_t slash = found->second[0].find('/');
    if (slash == std::string::npos) return;
    fields[total] = {found->second[0].substr(slash + 1)};
    found->second[0].resize(slash);
}

// What a tag holds that the neutral form cannot, pictures aside (they are
// carried on their own).
void NoteUnsupported(TagReadResult& result, const TagLib::PropertyMap& map) {
    for (const TagLib::String& name : map.unsupportedData()) {
        const std::string text = Utf8(name);
        if (text == "APIC" || text == "covr" || text == "WM/Picture" || IsApePictureKey(text)) continue;
        if (std::find(result.unreadable.begin(), result.unreadable.end(), text) == result.unreadable.end())
            result.unreadable.push_back(text);
    }
}

void ReadApe(TagReadResult& result, const TagLib::APE::Tag* tag) {
    if (!tag) return;
    const TagLib::PropertyMap map = tag->properties();
    Overlay(result.tags.fields, map);
    NoteUnsupported(result, map);
    if (result.tags.pictures.empty()) result.tags.pictures = ReadPictures(*tag);
}

void ReadId3v2(TagReadResult& result, const TagLib::ID3v2::Tag* tag) {
    if (!tag) return;
    const TagLib::PropertyMap map = tag->properties();
    Overlay(result.tags.fields, map);
    NoteUnsupported(result, map);
    ReadTextLabels(*tag, result.tags.labels);
    std::vector<TagPicture> pictures = ReadPictures(*tag);
    if (!pictures.empty()) result.tags.pictures = std::move(pictures);
}

// TagLib's frames of the tag at `offset` made again first (TagLib alone
// loses frames behind an extended header and BOM-less UTF-16 text).
void ReadId3v2At(TagLib::File& file, long offset, TagLib::ID3v2::Tag* tag, TagReadResult& result) {
    if (offset >= 0 && !RereadTag(file, offset, *tag)) result.unreadable.push_back("ID3v2 (damaged frames)");
    ReadId3v2(result, tag);
}

void ReadMpeg(const std::string& path, TagReadResult& result) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as MPEG audio";
        return;
    }
    if (file.hasID3v1Tag()) Overlay(result.tags.fields, file.ID3v1Tag()->properties());
    if (file.hasAPETag()) ReadApe(result, file.APETag());
    if (file.hasID3v2Tag()) ReadId3v2At(file, 0, file.ID3v2Tag(), result);
}

// Ogg Vorbis and Ogg Opus both carry Vorbis comments.
template <typename OggFile>
void ReadXiph(const std::string& path, TagReadResult& result, const char* formatName) {
    OggFile file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) {
        result.error = std::string("TagLib cannot read it as ") + formatName;
        return;
    }
    const TagLib::PropertyMap map = file.tag()->properties();
    Overlay(result.tags.fields, map);
    NoteUnsupported(result, map);
    result.tags.pictures = ReadPictures(*file.tag());
}

void ReadFlac(const std::string& path, TagReadResult& result) {
    TagLib::FLAC::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as FLAC";
        return;
    }
    if (file.hasID3v1Tag()) Overlay(result.tags.fields, file.ID3v1Tag()->properties());
    if (file.hasID3v2Tag()) ReadId3v2At(file, 0, file.ID3v2Tag(), result);
    if (file.hasXiphComment()) {
        const TagLib::PropertyMap map = file.xiphComment()->properties();
        Overlay(result.tags.fields, map);
        NoteUnsupported(result, map);
    }
    result.tags.pictures = ReadPictures(file);
}

// Monkey's Audio and WavPack keep an APEv2 tag (an ID3v1 tag is read too).
template <typename File>
void ReadApeFile(const std::string& path, TagReadResult& result, const char* kind) {
    File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = std::string("TagLib cannot read it as ") + kind;
        return;
    }
    if (file.hasID3v1Tag()) Overlay(result.tags.fields, file.ID3v1Tag()->properties());
    if (file.hasAPETag()) ReadApe(result, file.APETag());
}

bool IsUtf8(const TagLib::ByteVector& bytes) {
    int follow = 0;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (follow > 0) {
            if ((c & 0xC0) != 0x80) return false;
            --follow;
        } else if (c >= 0xC2 && c < 0xE0) {
            follow = 1;
        } else if (c >= 0xE0 && c < 0xF0) {
            follow = 2;
        } else if (c >= 0xF0 && c < 0xF5) {
            follow = 3;
        } else if (c >= 0x80) {
            return false;
        }
    }
    return follow == 0;
}

// LIST/INFO names no text encoding. Current writers (FFmpeg, TagLib users,
// editors) use UTF-8, older ones Latin-1, so it is read as UTF-8 where the
// bytes are valid UTF-8 and written as UTF-8, so that no character is lost.
class InfoText : public TagLib::RIFF::Info::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        const int end = data.find('\0');
        const TagLib::ByteVector text = end < 0 ? data : data.mid(0, static_cast<unsigned>(end));
        return TagLib::String(text, IsUtf8(text) ? TagLib::String::UTF8 : TagLib::String::Latin1);
    }
    TagLib::ByteVector render(const TagLib::String& text) const override { return text.data(TagLib::String::UTF8); }
};

// TagLib keeps the handler in one place for the whole program; it is set
// once, before the first WAV tag is touched.
void UseUtf8InfoText() {
    static const InfoText handler;
    static const bool set = (TagLib::RIFF::Info::Tag::setStringHandler(&handler), true);
    (void)set;
}

// The INFO ids of the RIFF standard, with the track ids readers know (IPRT
// and ITRK, both written). ISFT is left out: it names the program that made
// the file.
constexpr std::pair<const char*, const char*> kInfoIds[] = {
    {"TITLE", "INAM"},       {"ARTIST", "IART"},      {"ALBUM", "IPRD"},     {"DATE", "ICRD"},
    {"GENRE", "IGNR"},       {"COMMENT", "ICMT"},     {"TRACKNUMBER", "IPRT"}, {"TRACKNUMBER", "ITRK"},
    {"COPYRIGHT", "ICOP"},   {"ENGINEER", "IENG"},    {"ENCODEDBY", "ITCH"}, {"MEDIA", "IMED"},
    {"LANGUAGE", "ILNG"},
};

void ReadInfo(const TagLib::RIFF::Info::Tag& info, Fields& fields) {
    for (const auto& [key, id] : kInfoIds) {
        const TagLib::String text = info.fieldText(id);
        if (!text.isEmpty() && !fields.contains(key)) fields[key] = {Utf8(text)};
    }
}

// INFO holds one text per id: several values are joined.
void WriteInfo(TagLib::RIFF::Info::Tag& info, const Fields& fields) {
    for (const auto& [key, id] : kInfoIds) {
        const auto found = fields.find(key);
        if (found == fields.end()) continue;
        std::string text;
        for (const std::string& value : found->second) text += (text.empty() ? "" : "; ") + value;
        info.setFieldText(id, FromUtf8(text));
    }
}

// Where the tag in the "id3 " chunk starts; -1 when TagLib found it in none.
long Id3ChunkOffset(TagLib::File& file) {
    for (long position = 12;;) {
        file.seek(position);
        const TagLib::ByteVector header = file.readBlock(8);
        if (header.size() < 8) return -1;
        if (header.startsWith("id3 ") || header.startsWith("ID3 ")) return position + 8;
        const unsigned size = header.toUInt(4U, false);
        position += 8 + static_cast<long>(size) + (size & 1);
    }
}

void ReadWave(const std::string& path, TagReadResult& result) {
    UseUtf8InfoText();
    TagLib::RIFF::WAV::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as RIFF WAVE";
        return;
    }
    if (file.hasInfoTag()) ReadInfo(*file.InfoTag(), result.tags.fields);
    if (file.hasID3v2Tag()) ReadId3v2At(file, Id3ChunkOffset(file), file.ID3v2Tag(), result);
}

void WriteMpeg(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as MPEG audio";
        return;
    }
    file.strip(TagLib::MPEG::File::AllTags);
    result.dropped = WriteId3v2Fields(*file.ID3v2Tag(true), tags);
    WritePictures(*file.ID3v2Tag(), tags.pictures);
    // ID3v1 is for old players only: what it cannot hold is in ID3v2.
    file.ID3v1Tag(true)->setProperties(ToPropertyMap(tags.fields));
    if (!file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                   TagLib::ID3v2::v4))
        result.error = "TagLib could not save the ID3 tags";
}

template <typename OggFile>
void WriteXiph(const std::string& path, const Tags& tags, TagWriteResult& result, const char* formatName) {
    OggFile file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) {
        result.error = std::string("TagLib cannot open it as ") + formatName;
        return;
    }
    Fields fields = tags.fields;
    SplitTotal(fields, "TRACKNUMBER", "TRACKTOTAL");
    SplitTotal(fields, "DISCNUMBER", "DISCTOTAL");
    result.dropped = Keys(file.tag()->setProperties(ToPropertyMap(fields)));
    file.tag()->removeAllPictures();
    WritePictures(*file.tag(), tags.pictures);
    if (!file.save()) result.error = "TagLib could not save the Vorbis comments";
}

// Vorbis comments and PICTURE blocks; ID3 tags on FLAC are stripped, as
// players read the comments.
void WriteFlac(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::FLAC::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as FLAC";
        return;
    }
    Fields fields = tags.fields;
    SplitTotal(fields, "TRACKNUMBER", "TRACKTOTAL");
    SplitTotal(fields, "DISCNUMBER", "DISCTOTAL");
    result.dropped = Keys(file.xiphComment(true)->setProperties(ToPropertyMap(fields)));
    file.removePictures();
    WritePictures(file, tags.pictures);
    file.strip(TagLib::FLAC::File::ID3v1 | TagLib::FLAC::File::ID3v2);
    if (!file.save()) result.error = "TagLib could not save the FLAC comments";
}

template <typename File>
void WriteApeFile(const std::string& path, const Tags& tags, TagWriteResult& result, const char* kind) {
    File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = std::string("TagLib cannot open it as ") + kind;
        return;
    }
    file.strip();
    TagLib::APE::Tag* tag = file.APETag(true);
    result.dropped = Keys(tag->setProperties(ToPropertyMap(tags.fields)));
    for (std::string& picture : WritePictures(*tag, tags.pictures)) result.dropped.push_back(std::move(picture));
    if (!file.save()) result.error = "TagLib could not save the APEv2 tag";
}

void WriteWave(const std::string& path, const Tags& tags, TagWriteResult& result) {
    UseUtf8InfoText();
    TagLib::RIFF::WAV::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as RIFF WAVE";
        return;
    }
    file.ID3v2Tag()->removeFrames("APIC");
    result.dropped = WriteId3v2Fields(*file.ID3v2Tag(), tags);
    WritePictures(*file.ID3v2Tag(), tags.pictures);
    // LIST/INFO has room for a few fields only; the "id3 " chunk holds all.
    WriteInfo(*file.InfoTag(), tags.fields);
    if (!file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v4))
        result.error = "TagLib could not save the WAV tags";
}

void ReadMonkey(const std::string& path, TagReadResult& result) {
    ReadApeFile<TagLib::APE::File>(path, result, "Monkey's Audio");
}
void WriteMonkey(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteApeFile<TagLib::APE::File>(path, tags, result, "Monkey's Audio");
}
void ReadWavPack(const std::string& path, TagReadResult& result) {
    ReadApeFile<TagLib::WavPack::File>(path, result, "WavPack");
}
void WriteWavPack(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteApeFile<TagLib::WavPack::File>(path, tags, result, "WavPack");
}

void ReadVorbis(const std::string& path, TagReadResult& result) {
    ReadXiph<TagLib::Ogg::Vorbis::File>(path, result, "Ogg Vorbis");
}
void WriteVorbis(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteXiph<TagLib::Ogg::Vorbis::File>(path, tags, result, "Ogg Vorbis");
}
void ReadOpus(const std::string& path, TagReadResult& result) {
    ReadXiph<TagLib::Ogg::Opus::File>(path, result, "Ogg Opus");
}
void WriteOpus(const std::string& path, const Tags& tags, TagWriteResult& result) {
    WriteXiph<TagLib::Ogg::Opus::File>(path, tags, result, "Ogg Opus");
}

void ReadAiff(const std::string& path, TagReadResult& result) {
    TagLib::RIFF::AIFF::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot read it as AIFF";
        return;
    }
    if (file.hasID3v2Tag()) ReadId3v2(result, file.tag());
}

void WriteAiff(const std::string& path, const Tags& tags, TagWriteResult& result) {
    TagLib::RIFF::AIFF::File file(path.c_str(), false);
    if (!file.isValid()) {
        result.error = "TagLib cannot open it as AIFF";
        return;
    }
    file.tag()->removeFrames("APIC");
    result.dropped = WriteId3v2Fields(*file.tag(), tags);
    WritePictures(*file.tag(), tags.pictures);
    if (!file.save(TagLib::ID3v2::v4)) result.error = "TagLib could not save the AIFF tags";
}

// TagLib picks the reader by the file's extension; pictures are taken from
// the tag each kind keeps them in.
void ReadOther(const std::string& path, TagReadResult& result) {
    const TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull()) return;
    TagLib::File* file = ref.file();
    const TagLib::PropertyMap map = file->properties();
    Overlay(result.tags.fields, map);
    NoteUnsupported(result, map);
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file); mp4 && mp4->tag())
        result.tags.pictures = ReadPictures(*mp4->tag());
    else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file); asf && asf->tag())
        result.tags.pictures = ReadPictures(*asf->tag());
    else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file); aiff && aiff->hasID3v2Tag())
        result.tags.pictures = ReadPictures(*aiff->tag());
    else if (auto* tta = dynamic_cast<TagLib::TrueAudio::File*>(file); tta && tta->hasID3v2Tag())
        result.tags.pictures = ReadPictures(*tta->ID3v2Tag());
    else if (auto* wv = dynamic_cast<TagLib::WavPack::File*>(file); wv && wv->hasAPETag())
        result.tags.pictures = ReadPictures(*wv->APETag());
    else if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file); mpc && mpc->hasAPETag())
        result.tags.pictures = ReadPictures(*mpc->APETag());
}

void ReadOggFlac(const std::string& path, TagReadResult& result) {
    ReadXiph<TagLib::Ogg::FLAC::File>(path, result, "FLAC in Ogg");
}

}  // namespace

const TagForm kMpegTags{ReadMpeg, WriteMpeg};
const TagForm kOggVorbisTags{ReadVorbis, WriteVorbis};
const TagForm kOggOpusTags{ReadOpus, WriteOpus, GainConvention::kR128};
const TagForm kFlacTags{ReadFlac, WriteFlac};
const TagForm kOggFlacTags{ReadOggFlac, nullptr};
const TagForm kApeTags{ReadMonkey, WriteMonkey};
const TagForm kWavPackTags{ReadWavPack, WriteWavPack};
const TagForm kWaveTags{ReadWave, WriteWave};
const TagForm kAiffTags{ReadAiff, WriteAiff};
const TagForm kOtherTags{ReadOther, nullptr};

TagReadResult ReadTags(const std::string& path, const TagForm& form) {
    TagReadResult result;
    form.read(path, result);
    JoinTotals(result.tags.fields);
    UseNeutralNames(result.tags.fields);
    return result;
}

void DropFileDescription(Tags& tags) {
    // The flac tool keeps a WAV source's speaker mask as a comment, and iTunes
    // its encoder's gapless figures and loudness: both are false once the
    // audio is folded or encoded again.
    for (const char* key : {"ENCODER", "ENCODER_OPTIONS", "ENCODING", "LENGTH", "WAVEFORMATEXTENSIBLE_CHANNEL_MASK",
                            "COMMENT:ITUNSMPB", "COMMENT:ITUNNORM"})
        tags.fields.erase(key);
}

TagWriteResult WriteTags(const std::string& path, const Tags& tags, const TagForm& form) {
    TagWriteResult result;
    form.write(path, tags, result);
    return result;
}

}  // namespace zelph
