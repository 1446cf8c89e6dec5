#pragma once
// Tags in one neutral form, read from and written to every format the
// converter handles, each in its native tag form. Each format declares its
// form in a file of its own (metadata/<format>tags.h), which the format's
// rows name. The work is TagLib's; this module only translates.

#include <map>
#include <string>
#include <vector>

namespace zelph {

struct TagPicture {
    int type = 3;            // the ID3v2 picture type, which the other tag forms share; 3 is the front cover
    std::string mimeType;    // "" when the source did not say
    std::string description;  // UTF-8
    std::string data;        // the picture file's bytes, untouched

    bool operator==(const TagPicture&) const = default;
};

// What ID3v2 gives a comment or lyrics beside its text.
struct TextLabel {
    std::string language;     // ISO 639-2, as the source spelled it
    std::string description;  // UTF-8, in the source's own case

    bool operator==(const TextLabel&) const = default;
};

// Field names are TagLib's common ones: TITLE, ARTIST, ALBUM, ALBUMARTIST,
// TRACKNUMBER and DISCNUMBER as "n" or "n/N", DATE, GENRE, COMMENT, COMPOSER,
// LYRICS, REPLAYGAIN_TRACK_GAIN, MUSICBRAINZ_TRACKID, ..., and any other
// text field under its own upper-case name. Values are UTF-8; a field may
// hold several values (two artists stay two).
struct Tags {
    std::map<std::string, std::vector<std::string>> fields;
    std::vector<TagPicture> pictures;
    // For COMMENT and LYRICS fields (and COMMENT:DESCRIPTION, ...) read from
    // ID3v2: one label per value, in step with the values.
    std::map<std::string, std::vector<TextLabel>> labels = {};

    bool empty() const { return fields.empty() && pictures.empty(); }
};

struct TagReadResult {
    Tags tags;
    // What the source holds that cannot be carried (frames TagLib cannot
    // interpret, damaged ones included), by the source's own names.
    std::vector<std::string> unreadable;
    std::string error;  // "" when the tags (or their absence) were read
};

// Room a new output's tag block is made with (zero bytes after an Ogg
// stream's comment list, a FLAC padding block), so that the tags and gains
// written once its audio is complete replace bytes in place instead of
// moving the whole file behind a larger tag.
constexpr unsigned kTagRoom = 4096;

struct TagWriteResult {
    std::vector<std::string> dropped;  // fields and pictures the target cannot hold
    std::string error;                 // "" when the file was saved
};

// How one kind of file holds its tags. Each source and target row of the
// converter names its form; this module keeps no list of its own.
// How a form's players read a loudness gain: ReplayGain's dB to -18 LUFS,
// or R128's Q7.8 dB to -23 LUFS on top of the stream header's gain.
enum class GainConvention { kReplayGain, kR128 };

struct TagForm {
    void (*read)(const std::string& path, TagReadResult& result);
    // nullptr for a form the converter only reads (no target writes it).
    void (*write)(const std::string& path, const Tags& tags, TagWriteResult& result);
    GainConvention gains = GainConvention::kReplayGain;
};

TagReadResult ReadTags(const std::string& path, const TagForm& form);

// Replaces the tags of `path` with `tags`.
TagWriteResult WriteTags(const std::string& path, const Tags& tags, const TagForm& form);

// Leaves out the fields that describe the source file rather than the
// recording (its encoder, the encoder's settings, its length, its speaker
// mask, iTunes' gapless and loudness figures): on an output made by another
// encoder they would be false.
void DropFileDescription(Tags& tags);

}  // namespace zelph
