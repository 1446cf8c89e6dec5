#include "metadata/id3v2frames.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <vector>

#include "metadata/fieldnames.h"
#include "metadata/taglibtext.h"

namespace zelph {

namespace {

using TagLib::ByteVector;
namespace ID3v2 = TagLib::ID3v2;

// Where the text of a frame starts behind its encoding byte (and a comment's
// or lyrics' language); 0 for a frame without encoded text.
unsigned TextStart(const ByteVector& id) {
    if (id == "COMM" || id == "USLT") return 4;
    return id.startsWith("T") ? 1 : 0;
}

// A byte-order mark for UTF-16 text that has none: big-endian when the zero
// bytes (the high bytes of Latin text) come first, little-endian otherwise,
// as Windows writes and mutagen assumes.
ByteVector GuessedByteOrderMark(const ByteVector& text) {
    int zerosFirst = 0;
    int zerosSecond = 0;
    for (unsigned i = 0; i + 1 < text.size(); i += 2) {
        zerosFirst += text[i] == 0;
        zerosSecond += text[i + 1] == 0;
    }
    return zerosFirst > zerosSecond ? ByteVector("\xFE\xFF", 2) : ByteVector("\xFF\xFE", 2);
}

// The UTF-16 strings of a frame body from `start` with a byte-order mark in
// front of each that lacks one; "" when none lacked one.
ByteVector MarkedStrings(const ByteVector& body, unsigned start) {
    ByteVector marked;
    bool added = false;
    while (start < body.size()) {
        unsigned end = start;
        while (end + 1 < body.size() && (body[end] != 0 || body[end + 1] != 0)) end += 2;
        const ByteVector text = body.mid(start, end - start);
        const bool hasMark = text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF");
        if (text.size() >= 2 && !hasMark) {
            marked.append(GuessedByteOrderMark(text));
            added = true;
        }
        marked.append(body.mid(start, end + 2 - start));
        start = end + 2;
    }
    return added ? marked : ByteVector();
}

struct FrameBytes {
    ByteVector bytes;    // the frame and what follows it in the tag
    unsigned added = 0;  // how many bytes the marks added to the frame
};

// TagLib reads UTF-16 text without a byte-order mark as empty, where mutagen
// and ffmpeg read it. Such a frame (ID3v2.3 or 2.4) is handed over with
// marks added; any other frame, or one whose bytes are coded (compressed,
// encrypted, unsynchronised, grouped: any format flag), as it is.
FrameBytes WithByteOrderMarks(const ByteVector& bytes, const ID3v2::Header& tagHeader) {
    const unsigned version = tagHeader.majorVersion();
    const unsigned headerSize = ID3v2::Frame::headerSize(version);
    if (version < 3 || bytes.size() < headerSize || bytes[9] != 0 ||
        (version > 3 && tagHeader.unsynchronisation()))
        return {bytes};
    const ByteVector id = bytes.mid(0, 4);
    const ByteVector sizeField = bytes.mid(4, 4);
    const unsigned size = version > 3 ? ID3v2::SynchData::toUInt(sizeField) : sizeField.toUInt();
    const unsigned start = TextStart(id);
    if (start == 0 || size <= start || size > bytes.size() - headerSize || bytes[headerSize] != 1) return {bytes};
    const ByteVector body = bytes.mid(headerSize, size);
    const ByteVector marked = MarkedStrings(body, start);
    if (marked.isEmpty()) return {bytes};
    const unsigned markedSize = start + marked.size();
    return {id + (version > 3 ? ID3v2::SynchData::fromUInt(markedSize) : ByteVector::fromUInt(markedSize)) +
                bytes.mid(8, 2) + body.mid(0, start) + marked,
            markedSize - size};
}

// The extended header's whole size: ID3v2.4 counts the size field in, as a
// synch-safe number; ID3v2.3 leaves it out.
unsigned ExtendedHeaderSize(const ByteVector& bytes, const ID3v2::Header& header) {
    if (header.majorVersion() < 3 || !header.extendedHeader()) return 0;
    const ByteVector size = bytes.mid(0, 4);
    return header.majorVersion() > 3 ? ID3v2::SynchData::toUInt(size) : size.toUInt() + 4;
}

// MusicBrainz TXXX frames get the descriptions other taggers look for (they
// compare them case by case); TagLib writes them in capitals.
void UseStandardDescriptions(ID3v2::Tag& tag) {
    for (ID3v2::Frame* frame : tag.frameList("TXXX")) {
        auto* text = dynamic_cast<ID3v2::UserTextIdentificationFrame*>(frame);
        if (!text) continue;
        const TagLib::String description = text->description().upper();
        for (const MusicBrainzName& name : kMusicBrainzNames)
            if (description == FromUtf8(name.id3Description).upper() || description == name.key)
                text->setDescription(name.id3Description);
    }
}

bool IsLabelled(const std::string& key, const Tags& tags) {
    const auto labels = tags.labels.find(key);
    return labels != tags.labels.end() && labels->second.size() == tags.fields.at(key).size();
}

// A comment or lyrics goes into one frame per value, so that each keeps its
// own language and description (TagLib would call the language "XXX"), when
// the values have labels or there is one. Several unlabelled values are left
// to TagLib, which keeps them in one TXXX frame: frames alike in language
// and description would break the ID3v2 rules.
bool FramePerValue(const std::string& key, const Tags& tags) {
    const bool text = key == "COMMENT" || key == "LYRICS" || key.starts_with("COMMENT:") || key.starts_with("LYRICS:");
    return text && (tags.fields.at(key).size() == 1 || IsLabelled(key, tags));
}

template <typename LabelledFrame>
void AddLabelled(ID3v2::Tag& tag, const std::string& key, const Tags& tags) {
    const std::vector<std::string>& values = tags.fields.at(key);
    const auto labels = tags.labels.find(key);
    const bool labelled = IsLabelled(key, tags);
    const std::size_t colon = key.find(':');
    for (std::size_t i = 0; i < values.size(); ++i) {
        auto* frame = new LabelledFrame(TagLib::String::UTF8);
        frame->setLanguage(labelled ? ByteVector(labels->second[i].language.c_str()) : ByteVector("XXX"));
        frame->setDescription(labelled ? FromUtf8(labels->second[i].description)
                                       : FromUtf8(colon == std::string::npos ? "" : key.substr(colon + 1)));
        frame->setText(FromUtf8(values[i]));
        tag.addFrame(frame);
    }
}

template <typename LabelledFrame>
void ReadLabels(const ID3v2::Tag& tag, const char* frameId, std::map<std::string, std::vector<TextLabel>>& labels) {
    for (const ID3v2::Frame* frame : tag.frameList(frameId)) {
        const auto* labelled = dynamic_cast<const LabelledFrame*>(frame);
        if (!labelled) continue;
        const TagLib::PropertyMap map = labelled->asProperties();
        if (map.isEmpty()) continue;
        const ByteVector language = labelled->language();
        labels[Utf8(map.begin()->first)].push_back(
            {std::string(language.data(), language.size()), Utf8(labelled->description())});
    }
}

}  // namespace

bool RereadTag(TagLib::File& file, long offset, ID3v2::Tag& tag) {
    const ID3v2::Header& header = *tag.header();
    const unsigned version = header.majorVersion();
    file.seek(offset);
    ByteVector bytes = file.readBlock(header.completeTagSize());
    if (!bytes.startsWith("ID3")) return true;
    bytes = bytes.mid(ID3v2::Header::size(), header.tagSize());
    if (header.unsynchronisation() && version <= 3) bytes = ID3v2::SynchData::decode(bytes);

    unsigned position = ExtendedHeaderSize(bytes, header);
    if (position > bytes.size()) return false;

    // A copy of TagLib's list would share its ownership of the frames.
    const std::vector<ID3v2::Frame*> parsed(tag.frameList().begin(), tag.frameList().end());
    for (ID3v2::Frame* frame : parsed) tag.removeFrame(frame);
    const ID3v2::FrameFactory& factory = *ID3v2::FrameFactory::instance();
    const unsigned headerSize = ID3v2::Frame::headerSize(version);
    bool whole = true;
    // A zero byte where a frame would start is padding.
    while (position + headerSize <= bytes.size() && bytes[position] != 0) {
        const FrameBytes frameBytes = WithByteOrderMarks(bytes.mid(position), header);
        ID3v2::Frame* frame = factory.createFrame(frameBytes.bytes, &header);
        whole = frame != nullptr;
        if (!whole) break;
        position += headerSize + frame->size() - frameBytes.added;
        tag.addFrame(frame);
    }
    factory.rebuildAggregateFrames(&tag);
    return whole;
}

void ReadTextLabels(const ID3v2::Tag& tag, std::map<std::string, std::vector<TextLabel>>& labels) {
    ReadLabels<ID3v2::CommentsFrame>(tag, "COMM", labels);
    ReadLabels<ID3v2::UnsynchronizedLyricsFrame>(tag, "USLT", labels);
}

std::vector<std::string> WriteId3v2Fields(ID3v2::Tag& tag, const Tags& tags) {
    std::map<std::string, std::vector<std::string>> plain;
    for (const auto& [key, values] : tags.fields)
        if (!FramePerValue(key, tags)) plain[key] = values;
    std::vector<std::string> dropped = Keys(tag.setProperties(ToPropertyMap(plain)));
    UseStandardDescriptions(tag);
    for (const auto& entry : tags.fields) {
        if (!FramePerValue(entry.first, tags)) continue;
        if (entry.first.starts_with("COMMENT"))
            AddLabelled<ID3v2::CommentsFrame>(tag, entry.first, tags);
        else
            AddLabelled<ID3v2::UnsynchronizedLyricsFrame>(tag, entry.first, tags);
    }
    return dropped;
}

}  // namespace zelph
