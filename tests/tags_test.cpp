// Tags through whole conversions: sources tagged at test time by lame,
// oggenc/vorbiscomment and TagLib, converted by zelph-convert to every
// target, and read back by ffprobe/ffmpeg and by TagLib directly.

#include <gtest/gtest.h>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "metadata/tags.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

using Values = std::vector<std::string>;

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// A real JPEG from ImageMagick; `noise` makes it big (1024 gives about 1 MB).
std::string MakeJpeg(const ScratchDir& dir, const std::string& name, int size, bool noise) {
    const std::string path = dir / name;
    const std::string fill = noise ? " xc:gray +noise Random -quality 100 " : " xc:red ";
    EXPECT_EQ(RunCommand("convert -size " + std::to_string(size) + "x" + std::to_string(size) + fill + path).status, 0);
    return path;
}

std::string Convert(const std::string& source, const std::string& target, const std::string& options = "") {
    const CommandResult run = RunCommand(BinDir() + "/zelph-convert --quiet --verbose --beside-source " + options +
                                             " --target " + target + " " + Quote(source),
                                         true);
    EXPECT_EQ(run.status, 0) << run.out;
    return run.out;
}

std::string OutputOf(const std::string& result) {
    const std::size_t line = result.rfind("Done\t");
    if (line == std::string::npos) return "";
    const std::size_t tab = result.find('\t', line + 5);
    return result.substr(tab + 1, result.find('\n', tab) - tab - 1);
}

// Every tag ffprobe sees on the file and its streams, keys in lower case.
std::multimap<std::string, std::string> FfprobeTags(const std::string& path) {
    const std::string out = RunCommand("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 " +
                                       Quote(path)).out;
    std::multimap<std::string, std::string> tags;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = std::min(out.find('\n', at), out.size());
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = line.find('=');
        if (line.rfind("TAG:", 0) != 0 || equals == std::string::npos) continue;
        std::string key = line.substr(4, equals - 4);
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        tags.emplace(key, line.substr(equals + 1));
    }
    return tags;
}

bool Has(const std::multimap<std::string, std::string>& tags, const std::string& key, const std::string& value) {
    auto [from, to] = tags.equal_range(key);
    return std::any_of(from, to, [&](const auto& entry) { return entry.second == value; });
}

// The bytes of the file's first attached picture, as ffmpeg copies them out.
std::string FfmpegPicture(const ScratchDir& dir, const std::string& path) {
    const std::string out = dir / "picture.bin";
    RunCommand("ffmpeg -v error -y -i " + Quote(path) + " -map 0:v:0 -c copy -f data " + out);
    return Exists(out) ? ReadFile(out) : "";
}

// TagLib's own view of the file's fields.
std::map<std::string, Values> TagLibFields(const std::string& path) {
    TagLib::FileRef file(path.c_str(), false);
    std::map<std::string, Values> fields;
    if (file.isNull()) return fields;
    for (const auto& [key, values] : file.file()->properties())
        for (const TagLib::String& value : values) fields[key.to8Bit(true)].push_back(value.to8Bit(true));
    return fields;
}

// The fields beyond the common set that the TagLib- and vorbiscomment-made
// sources carry (lame has no switch for most of them).
const std::map<std::string, std::string> kMoreFields = {
    {"DISCNUMBER", "1/2"},
    {"COMMENT", "Nice"},
    {"COMPOSER", "Zoë"},
    {"LYRICS", "La la"},
    {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"},
    {"REPLAYGAIN_TRACK_PEAK", "0.988"},
    {"REPLAYGAIN_ALBUM_GAIN", "-7.00 dB"},
    {"REPLAYGAIN_ALBUM_PEAK", "0.999"},
    {"MUSICBRAINZ_TRACKID", "3a8c6e4e-0c6f-4d3e-9f0a-5d2b8c1e7a11"},
    {"MUSICBRAINZ_ALBUMID", "9b1f2e3d-4c5b-4a69-8e7d-6c5b4a392817"},
};

TagLib::PropertyMap CommonFields(const Values& artists) {
    TagLib::PropertyMap map;
    auto put = [&](const char* key, const Values& values) {
        TagLib::StringList list;
        for (const std::string& value : values) list.append(TagLib::String(value, TagLib::String::UTF8));
        map.insert(key, list);
    };
    put("TITLE", {"Tïtle ☃"});
    put("ARTIST", artists);
    put("ALBUM", {"Älbum"});
    put("ALBUMARTIST", {"Band"});
    put("TRACKNUMBER", {"3/12"});
    put("DATE", {"2001"});
    put("GENRE", {"Rock"});
    put("MOOD", {"calm"});
    for (const auto& [key, value] : kMoreFields) put(key.c_str(), {value});
    return map;
}

TagLib::ID3v2::AttachedPictureFrame* Apic(const std::string& bytes, const char* description) {
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setMimeType("image/jpeg");
    frame->setDescription(description);
    frame->setPicture(TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size())));
    return frame;
}

std::string Sine(const ScratchDir& dir, const std::string& name) {
    EXPECT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 " + dir / name + " synth 0.4 sine 440").status, 0);
    return dir / name;
}

std::string Base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        uint32_t group = uint32_t(uint8_t(bytes[i])) << 16;
        if (left > 1) group |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (left > 2) group |= uint8_t(bytes[i + 2]);
        out += digits[(group >> 18) & 63];
        out += digits[(group >> 12) & 63];
        out += left > 1 ? digits[(group >> 6) & 63] : '=';
        out += left > 2 ? digits[group & 63] : '=';
    }
    return out;
}

// A FLAC picture block, the form Vorbis comments carry pictures in.
std::string PictureBlock(const std::string& bytes, uint32_t type, const std::string& mime, const std::string& text) {
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    return be32(type) + be32(uint32_t(mime.size())) + mime + be32(uint32_t(text.size())) + text + be32(16) +
           be32(16) + be32(24) + be32(0) + be32(uint32_t(bytes.size())) + bytes;
}

// The sources, each tagged by a tool of its own kind.
struct Sources {
    ScratchDir dir;
    std::string cover = MakeJpeg(dir, "cover.jpg", 16, false);
    std::string coverBytes = ReadFile(cover);

    std::string Mp3() {
        const std::string out = dir / "lame.mp3";
        EXPECT_EQ(RunCommand("lame --quiet -b 128 --id3v2-utf16 --tt 'Tïtle ☃' --ta Ann --tl 'Älbum' --tn 3/12 "
                             "--ty 2001 --tg Rock --tv TXXX=MOOD=calm --tv TPE2=Band --ti " + cover + " " +
                             Sine(dir, "lame.wav") + " " + out).status,
                  0);
        return out;
    }
    std::string Ogg() {
        const std::string out = dir / "vorbis.ogg";
        std::string more;
        for (const auto& [key, value] : kMoreFields) more += " -c '" + key + "=" + value + "'";
        EXPECT_EQ(RunCommand("oggenc -Q -t 'Tïtle ☃' -a Ann -c ARTIST=Bob -l 'Älbum' -N 3 -d 2001 -G Rock -c MOOD=calm "
                             "-c TRACKTOTAL=12 -c ALBUMARTIST=Band" + more + " -o " + out + " " +
                             Sine(dir, "vorbis.wav")).status,
                  0);
        WriteFile(dir / "comments.txt",
                  "METADATA_BLOCK_PICTURE=" + Base64(PictureBlock(coverBytes, 3, "image/jpeg", "front")) + "\n");
        EXPECT_EQ(RunCommand("vorbiscomment -a -c " + dir / "comments.txt " + out).status, 0);
        return out;
    }
    // Two front covers: APEv2 has room for one.
    std::string Wav() {
        const std::string out = Sine(dir, "riff.wav");
        TagLib::RIFF::WAV::File file(out.c_str());
        file.ID3v2Tag()->setProperties(CommonFields({"Ann", "Bob"}));
        file.ID3v2Tag()->addFrame(Apic(coverBytes, "front"));
        file.ID3v2Tag()->addFrame(Apic("\xFF\xD8\xFF\xE0 other", "spare"));
        file.InfoTag()->setTitle("Tïtle ☃");
        EXPECT_TRUE(file.save());
        return out;
    }
    std::string Ape() {
        Convert(Sine(dir, "monkey.wav"), "ape", "--no-tags");
        const std::string out = dir / "monkey.ape";
        TagLib::APE::File file(out.c_str());
        file.APETag(true)->setProperties(CommonFields({"Ann", "Bob"}));
        const std::string value = std::string("front.jpg", 10) + coverBytes;
        file.APETag()->setItem("Cover Art (Front)",
                               TagLib::APE::Item("Cover Art (Front)",
                                                 TagLib::ByteVector(value.data(), unsigned(value.size())), true));
        EXPECT_TRUE(file.save());
        return out;
    }
};

// Every field of the common set, in the target's native spelling as TagLib
// gives it, and the cover's bytes as ffmpeg copies them out.
void ExpectCarried(Sources& sources, const std::string& source, const Values& artists, bool more = true) {
    for (const char* target : {"wav", "lame", "ogg", "ape"}) {
        SCOPED_TRACE(source + " -> " + target);
        const std::string result = Convert(source, target);
        const std::string output = OutputOf(result);
        ASSERT_FALSE(output.empty()) << result;
        // Only the second front cover of the WAV source has no room (in APEv2).
        const bool apeDrop = std::string(target) == "ape" && source.ends_with(".wav");
        EXPECT_EQ(result.find("dropped:") != std::string::npos, apeDrop) << result;

        std::map<std::string, Values> fields = TagLibFields(output);
        const bool vorbis = std::string(target) == "ogg";
        for (const auto& [key, value] : kMoreFields) {
            if (!more) break;
            if (vorbis && key == "DISCNUMBER") {
                EXPECT_EQ(fields["DISCNUMBER"], Values{"1"});
                EXPECT_EQ(fields["DISCTOTAL"], Values{"2"});
            } else {
                EXPECT_EQ(fields[key], Values{value}) << key;
            }
        }
        EXPECT_EQ(fields["TITLE"], Values{"Tïtle ☃"});
        EXPECT_EQ(fields["ARTIST"], artists);
        EXPECT_EQ(fields["ALBUM"], Values{"Älbum"});
        EXPECT_EQ(fields["ALBUMARTIST"], Values{"Band"});
        EXPECT_EQ(fields["TRACKNUMBER"], Values{vorbis ? "3" : "3/12"});
        if (vorbis) {
            EXPECT_EQ(fields["TRACKTOTAL"], Values{"12"});
        }
        EXPECT_EQ(fields["DATE"], Values{"2001"});
        EXPECT_EQ(fields["GENRE"], Values{"Rock"});
        EXPECT_EQ(fields["MOOD"], Values{"calm"});

        const auto probed = FfprobeTags(output);
        EXPECT_TRUE(Has(probed, "title", "Tïtle ☃"));
        EXPECT_TRUE(Has(probed, "album", "Älbum"));
        EXPECT_TRUE(Has(probed, "genre", "Rock"));
        EXPECT_EQ(FfmpegPicture(sources.dir, output), sources.coverBytes);
    }
}

TEST(TagMatrix, LameTaggedMp3ToEveryTarget) {
    Sources sources;
    ExpectCarried(sources, sources.Mp3(), {"Ann"}, false);
}

TEST(TagMatrix, VorbisCommentsToEveryTarget) {
    Sources sources;
    const std::string ogg = sources.Ogg();
    // oggenc writes its -c comments ahead of the artist; the order is kept.
    ExpectCarried(sources, ogg, {"Bob", "Ann"});
}

TEST(TagMatrix, WavListAndId3ChunkToEveryTarget) {
    Sources sources;
    ExpectCarried(sources, sources.Wav(), {"Ann", "Bob"});
}

TEST(TagMatrix, ApeV2ToEveryTarget) {
    Sources sources;
    ExpectCarried(sources, sources.Ape(), {"Ann", "Bob"});
}

TEST(TagMatrix, PicturesKeepTypeAndDescriptionAndWhatDoesNotFitIsListed) {
    Sources sources;
    const std::string wav = sources.Wav();
    for (const char* target : {"lame", "ogg", "wav"}) {
        SCOPED_TRACE(target);
        const auto tags = FfprobeTags(OutputOf(Convert(wav, target)));
        auto [from, to] = tags.equal_range("comment");
        EXPECT_EQ(std::count_if(from, to, [](const auto& entry) { return entry.second == "Cover (front)"; }), 2);
        EXPECT_TRUE(Has(tags, "title", "front"));
        EXPECT_TRUE(Has(tags, "title", "spare"));
    }
    const std::string result = Convert(wav, "ape");
    EXPECT_NE(result.find("dropped: PICTURE (type 3)\n"), std::string::npos) << result;
    const auto apeTags = FfprobeTags(OutputOf(result));
    EXPECT_EQ(apeTags.count("cover art (front)"), 1u);

    // The WAV target keeps LIST/INFO for the readers that know only that.
    TagLib::RIFF::WAV::File back(OutputOf(Convert(wav, "wav")).c_str());
    ASSERT_TRUE(back.hasInfoTag());
    EXPECT_EQ(back.InfoTag()->title().to8Bit(true), "Tïtle ☃");
    EXPECT_EQ(back.InfoTag()->artist().to8Bit(true), "Ann");
}

TEST(TagCopy, NoTagsLeavesTheOutputBare) {
    Sources sources;
    const std::string output = OutputOf(Convert(sources.Mp3(), "ogg", "--no-tags"));
    EXPECT_TRUE(TagLibFields(output).count("TITLE") == 0);
    EXPECT_EQ(FfmpegPicture(sources.dir, output), "");
}

// An ID3v2 tag by hand: a header with `flags` and the frames.
std::string Id3v2(int version, uint8_t flags, const std::string& frames) {
    const std::size_t size = frames.size();
    std::string tag = std::string("ID3") + char(version) + '\0' + char(flags);
    for (int shift = 21; shift >= 0; shift -= 7) tag += char((size >> shift) & 0x7F);
    return tag + frames;
}

std::string Frame(const std::string& id, const std::string& body, bool syncsafe) {
    const std::size_t size = body.size();
    std::string frame = id;
    for (int i = 3; i >= 0; --i) frame += char(syncsafe ? (size >> (7 * i)) & 0x7F : (size >> (8 * i)) & 0xFF);
    return frame + std::string(2, '\0') + body;
}

TEST(TagRead, HeaderVariantsAndTextEncodings) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("lame --quiet -b 64 " + Sine(dir, "a.wav") + " " + dir / "audio.mp3").status, 0);
    const std::string audio = ReadFile(dir / "audio.mp3");

    // ID3v2.4 with an extended header (6 bytes, no flags) and every text encoding.
    const std::string extended = std::string("\0\0\0\x06\x01\0", 6);
    const std::string frames4 = Frame("TIT2", std::string("\0Caf\xE9", 5), true) +         // Latin-1
                                Frame("TPE1", std::string("\x01\xFF\xFE" "A\0n\0", 7), true) +  // UTF-16 with BOM
                                Frame("TALB", std::string("\x02\0B\0e", 5), true) +          // UTF-16BE, no BOM
                                Frame("TCOM", "\x03" "Zo\xC3\xAB", true);                    // UTF-8
    // (With padding behind the frames, as taggers leave it: TagLib 1.13
    // does not reach a last frame that ends the tag exactly when an
    // extended header is present, and that loss would be reported.)
    WriteFile(dir / "v24.mp3", Id3v2(4, 0x40, extended + frames4 + std::string(32, '\0')) + audio);
    EXPECT_TRUE(ReadTags(dir / "v24.mp3").unreadable.empty());
    const Tags v24 = ReadTags(dir / "v24.mp3").tags;
    EXPECT_EQ(v24.fields.at("TITLE"), Values{"Café"});
    EXPECT_EQ(v24.fields.at("ARTIST"), Values{"An"});
    EXPECT_EQ(v24.fields.at("ALBUM"), Values{"Be"});
    EXPECT_EQ(v24.fields.at("COMPOSER"), Values{"Zoë"});

    // ID3v2.3, unsynchronised: "ÿà" (FF E0) is stored as FF 00 E0; the
    // frame's size counts the bytes after resynchronisation.
    WriteFile(dir / "unsync.mp3",
              Id3v2(3, 0x80, std::string("TIT2\0\0\0\x03\0\0\0\xFF\0\xE0", 14)) + audio);
    EXPECT_EQ(ReadTags(dir / "unsync.mp3").tags.fields.at("TITLE"), Values{"ÿà"});

    // ID3v1 only, from id3v2 -1; APEv2 on an MP3, from TagLib.
    WriteFile(dir / "v1.mp3", audio);
    ASSERT_EQ(RunCommand("id3v2 -1 -t Old -a Timer -T 7 " + dir / "v1.mp3").status, 0);
    const Tags v1 = ReadTags(dir / "v1.mp3").tags;
    EXPECT_EQ(v1.fields.at("TITLE"), Values{"Old"});
    EXPECT_EQ(v1.fields.at("TRACKNUMBER"), Values{"7"});
    WriteFile(dir / "ape.mp3", audio);
    {
        TagLib::MPEG::File file((dir / "ape.mp3").c_str());
        file.APETag(true)->setProperties(CommonFields({"Ann", "Bob"}));
        ASSERT_TRUE(file.save(TagLib::MPEG::File::APE));
    }
    const Tags ape = ReadTags(dir / "ape.mp3").tags;
    EXPECT_EQ(ape.fields.at("ARTIST"), (Values{"Ann", "Bob"}));
    EXPECT_EQ(ape.fields.at("MOOD"), Values{"calm"});
}

TEST(TagCopy, DamagedFrameIsReportedAndTheAudioStillConverts) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("lame --quiet -b 64 " + Sine(dir, "a.wav") + " " + dir / "audio.mp3").status, 0);
    // The second frame (behind the first's 15 bytes) claims more bytes than the tag has.
    std::string frames = Frame("TIT2", std::string("\0Kept", 5), false) + Frame("TPE1", std::string("\0Lost", 5), false);
    frames[15 + 4] = '\x7F';
    WriteFile(dir / "damaged.mp3", Id3v2(3, 0, frames + std::string(64, '\0')) + ReadFile(dir / "audio.mp3"));
    const std::string result = Convert(dir / "damaged.mp3", "ogg");
    EXPECT_NE(result.find("dropped: ID3v2 (damaged frames)\n"), std::string::npos) << result;
    EXPECT_EQ(TagLibFields(OutputOf(result))["TITLE"], Values{"Kept"});

    // Padding alone is no damage.
    WriteFile(dir / "padded.mp3", Id3v2(3, 0, Frame("TIT2", std::string("\0Fine", 5), false) + std::string(64, '\0')) +
                                      ReadFile(dir / "audio.mp3"));
    EXPECT_EQ(Convert(dir / "padded.mp3", "ogg").find("dropped:"), std::string::npos);
}

TEST(TagCopy, MegabyteCoversSurviveBothWays) {
    ScratchDir dir;
    const std::string big = MakeJpeg(dir, "big.jpg", 1024, true);
    const std::string bytes = ReadFile(big);
    ASSERT_GT(bytes.size(), 1000000u);
    // Vorbis comments of that size span many Ogg pages.
    ASSERT_EQ(RunCommand("oggenc -Q -t Big -o " + dir / "big.ogg " + Sine(dir, "a.wav")).status, 0);
    WriteFile(dir / "comments.txt", "METADATA_BLOCK_PICTURE=" + Base64(PictureBlock(bytes, 3, "image/jpeg", "")) + "\n");
    ASSERT_EQ(RunCommand("vorbiscomment -a -c " + dir / "comments.txt " + dir / "big.ogg").status, 0);
    const std::string mp3 = OutputOf(Convert(dir / "big.ogg", "lame"));
    EXPECT_EQ(FfmpegPicture(dir, mp3), bytes);
    const std::string ogg = OutputOf(Convert(mp3, "ogg"));
    EXPECT_EQ(FfmpegPicture(dir, ogg), bytes);
    EXPECT_EQ(TagLibFields(ogg)["TITLE"], Values{"Big"});
}

}  // namespace
}  // namespace zelph::test
