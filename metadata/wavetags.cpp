#include "metadata/wavetags.h"

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include <utility>

#include "metadata/id3v2frames.h"
#include "metadata/pictures.h"
#include "metadata/tagform.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

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

}  // namespace

const TagForm kWaveTags{ReadWave, WriteWave};

}  // namespace zelph
