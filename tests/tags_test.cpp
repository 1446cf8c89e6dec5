// Tags through whole conversions: sources tagged at test time by lame,
// oggenc/vorbiscomment, id3v2 and TagLib, converted by zelph-convert to every
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
#include <tuple>

#include "metadata/gaintags.h"
#include "metadata/mpegtags.h"
#include "metadata/tags.h"
#include "metadata/wavetags.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

using Values = std::vector<std::string>;

struct Converted {
    std::string output;  // "" when the file was not done
    std::string printed;
};

Converted Convert(const std::string& source, const std::string& target, const std::string& options = "") {
    const std::string out = RunCommand(BinDir() + "/zelph-convert --quiet --verbose --beside-source " + options +
                                           " --target " + target + " '" + source + "'", true).out;
    const std::size_t done = out.rfind("Done\t");
    if (done == std::string::npos) return {"", out};
    const std::size_t tab = out.find('\t', done + 5);
    return {out.substr(tab + 1, out.find('\n', tab) - tab - 1), out};
}

// ffprobe's tags of the file and its streams, one "tag:key=value" a line, in
// lower case (keys differ in case between formats; the values tested are
// ASCII where it matters).
std::string Probed(const std::string& path) {
    std::string out = RunCommand("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 '" + path +
                                 "'").out;
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// The bytes of the file's first attached picture, as ffmpeg copies them out.
std::string FfmpegPicture(const ScratchDir& dir, const std::string& path) {
    ::unlink((dir / "picture.bin").c_str());
    RunCommand("ffmpeg -v error -y -i '" + path + "' -map 0:v:0 -c copy -f data " + dir / "picture.bin");
    return Exists(dir / "picture.bin") ? ReadFile(dir / "picture.bin") : "";
}

std::map<std::string, Values> TagLibFields(const std::string& path) {
    TagLib::FileRef file(path.c_str(), false);
    std::map<std::string, Values> fields;
    for (const auto& [key, values] : file.isNull() ? TagLib::PropertyMap() : file.file()->properties())
        for (const TagLib::String& value : values) fields[key.to8Bit(true)].push_back(value.to8Bit(true));
    return fields;
}

// Beyond what lame can write: the fields the other sources carry too.
const std::map<std::string, std::string> kMoreFields = {
    {"DISCNUMBER", "1/2"},
    {"COMMENT", "Nice"},
    {"COMPOSER", "Zoë"},
    {"LYRICS", "La la"},
    {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"},
    {"REPLAYGAIN_ALBUM_PEAK", "0.999"},
    {"MUSICBRAINZ_TRACKID", "3a8c6e4e-0c6f-4d3e-9f0a-5d2b8c1e7a11"},
    {"MUSICBRAINZ_ALBUMID", "9b1f2e3d-4c5b-4a69-8e7d-6c5b4a392817"},
};

TagLib::PropertyMap AllFields() {
    TagLib::PropertyMap map;
    auto put = [&](const std::string& key, const Values& values) {
        for (const std::string& value : values) map[key].append(TagLib::String(value, TagLib::String::UTF8));
    };
    put("TITLE", {"Tïtle ☃"});
    put("ARTIST", {"Ann", "Bob"});
    put("ALBUM", {"Älbum"});
    put("ALBUMARTIST", {"Band"});
    put("TRACKNUMBER", {"3/12"});
    put("DATE", {"2001"});
    put("GENRE", {"Rock"});
    put("MOOD", {"calm"});
    for (const auto& [key, value] : kMoreFields) put(key, {value});
    return map;
}

TagLib::ByteVector Bytes(const std::string& bytes) { return {bytes.data(), static_cast<unsigned>(bytes.size())}; }

// A FLAC picture block, the form Vorbis comments carry pictures in, base64 by coreutils.
std::string PictureComment(const ScratchDir& dir, const std::string& bytes, const std::string& text) {
    auto be32 = [](std::size_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    WriteFile(dir / "block", be32(3) + be32(10) + "image/jpeg" + be32(text.size()) + text + be32(16) + be32(16) +
                                 be32(24) + be32(0) + be32(bytes.size()) + bytes);
    return "METADATA_BLOCK_PICTURE=" + RunCommand("base64 -w0 " + dir / "block").out + "\n";
}

// The sources, each tagged by a tool of its own kind, with a real JPEG cover.
struct Sources {
    ScratchDir dir;
    std::string cover = Jpeg(dir, "cover.jpg", "16x16 xc:red");

    static std::string Jpeg(const ScratchDir& dir, const std::string& name, const std::string& image) {
        RunCommand("convert -size " + image + " " + dir / name);
        return ReadFile(dir / name);
    }
    std::string Sine(const std::string& name) {
        RunCommand("sox -n -r 44100 -c 2 -b 16 " + dir / name + " synth 0.4 sine 440");
        return dir / name;
    }
    std::string Mp3() {
        RunCommand("lame --quiet -b 128 --id3v2-utf16 --tt 'Tïtle ☃' --ta Ann --tl 'Älbum' --tn 3/12 --ty 2001 "
                   "--tg Rock --tv TXXX=MOOD=calm --tv TPE2=Band --ti " + dir / "cover.jpg " + Sine("lame.wav") +
                   " " + dir / "lame.mp3");
        return dir / "lame.mp3";
    }
    std::string Ogg() {
        std::string more;
        for (const auto& [key, value] : kMoreFields) more += " -c '" + key + "=" + value + "'";
        RunCommand("oggenc -Q -t 'Tïtle ☃' -a Ann -c ARTIST=Bob -l 'Älbum' -N 3 -d 2001 -G Rock -c MOOD=calm "
                   "-c TRACKTOTAL=12 -c ALBUMARTIST=Band" + more + " -o " + dir / "vorbis.ogg " + Sine("vorbis.wav"));
        WriteFile(dir / "comments.txt", PictureComment(dir, cover, "front"));
        RunCommand("vorbiscomment -a -c " + dir / "comments.txt " + dir / "vorbis.ogg");
        return dir / "vorbis.ogg";
    }
    // Two front covers, where APEv2 has room for one.
    std::string Wav() {
        TagLib::RIFF::WAV::File file(Sine("riff.wav").c_str());
        file.ID3v2Tag()->setProperties(AllFields());
        for (const char* description : {"front", "spare"}) {
            auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
            frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            frame->setMimeType("image/jpeg");
            frame->setDescription(description);
            frame->setPicture(Bytes(cover));
            file.ID3v2Tag()->addFrame(frame);
        }
        file.InfoTag()->setTitle("Tïtle ☃");
        file.save();
        return dir / "riff.wav";
    }
    // FLAC in Ogg, tagged by flac itself, the cover in the comments.
    std::string Oga() {
        std::string fields = " -T 'TITLE=Tïtle ☃' -T ARTIST=Ann -T ARTIST=Bob -T 'ALBUM=Älbum' -T ALBUMARTIST=Band"
                             " -T TRACKNUMBER=3 -T TRACKTOTAL=12 -T DATE=2001 -T GENRE=Rock -T MOOD=calm";
        for (const auto& [key, value] : kMoreFields) fields += " -T '" + key + "=" + value + "'";
        WriteFile(dir / "picture.txt", PictureComment(dir, cover, "front"));
        RunCommand("flac -s --ogg" + fields + " -T \"$(cat " + dir / "picture.txt)\" -o " + dir / "flac.oga " +
                   Sine("flac.wav"));
        return dir / "flac.oga";
    }
    std::string Ape() {
        Convert(Sine("monkey.wav"), "ape", "--no-tags");
        TagLib::APE::File file((dir / "monkey.ape").c_str());
        file.APETag(true)->setProperties(AllFields());
        file.APETag()->setData("Cover Art (Front)", Bytes(std::string("front.jpg", 10) + cover));
        file.save();
        return dir / "monkey.ape";
    }
};

// Every field, in the target's native spelling as TagLib reads it back, the
// main ones by ffprobe too, and the cover's bytes as ffmpeg copies them out.
void ExpectCarried(Sources& sources, const std::string& source, const Values& artists, bool more) {
    for (const std::string target : {"wav", "lame", "ogg", "ape", "flac", "opus", "aiff", "wavpack"}) {
        SCOPED_TRACE(source + " -> " + target);
        const Converted run = Convert(source, target);
        ASSERT_FALSE(run.output.empty()) << run.printed;
        // Only the WAV source's second front cover has no room (in APEv2).
        EXPECT_EQ(run.printed.find("dropped:") != std::string::npos,
              (target == "ape" || target == "wavpack") && source.ends_with(".wav"))
            << run.printed;

        std::map<std::string, Values> fields = TagLibFields(run.output);
        const bool vorbis = target == "ogg" || target == "flac" || target == "opus";
        std::map<std::string, Values> expected = {
            {"TITLE", {"Tïtle ☃"}}, {"ARTIST", artists}, {"ALBUM", {"Älbum"}}, {"ALBUMARTIST", {"Band"}},
            {"DATE", {"2001"}},     {"GENRE", {"Rock"}}, {"MOOD", {"calm"}},   {"TRACKNUMBER", {"3/12"}}};
        for (const auto& [key, value] : kMoreFields)
            if (more) expected[key] = {value};
        if (vorbis) {
            expected["TRACKNUMBER"] = {"3"};
            expected["TRACKTOTAL"] = {"12"};
            if (more) expected["DISCNUMBER"] = {"1"}, expected["DISCTOTAL"] = {"2"};
        }
        // Opus keeps its gain as R128's, which has no peak: -6.50 dB to -18 LUFS is -2944 in Q7.8 to -23 LUFS.
        if (target == "opus" && more) {
            expected.erase("REPLAYGAIN_TRACK_GAIN");
            expected.erase("REPLAYGAIN_ALBUM_PEAK");
            expected["R128_TRACK_GAIN"] = {"-2944"};
        }
        for (const auto& [key, values] : expected) EXPECT_EQ(fields[key], values) << key;

        const std::string probed = Probed(run.output);
        for (const char* line : {"tag:title=tïtle ☃\n", "tag:album=Älbum\n", "tag:genre=rock\n"})
            EXPECT_NE(probed.find(line), std::string::npos) << line << probed;
        EXPECT_EQ(FfmpegPicture(sources.dir, run.output), sources.cover);
    }
}

TEST(TagMatrix, EverySourceToEveryTarget) {
    Sources sources;
    ExpectCarried(sources, sources.Mp3(), {"Ann"}, false);
    // oggenc writes its -c comments ahead of the artist; the order is kept.
    ExpectCarried(sources, sources.Ogg(), {"Bob", "Ann"}, true);
    ExpectCarried(sources, sources.Wav(), {"Ann", "Bob"}, true);
    ExpectCarried(sources, sources.Ape(), {"Ann", "Bob"}, true);
    ExpectCarried(sources, sources.Oga(), {"Ann", "Bob"}, true);
}

TEST(TagMatrix, PicturesKeepTypeAndDescriptionAndWhatDoesNotFitIsListed) {
    Sources sources;
    const std::string wav = sources.Wav();
    for (const char* target : {"lame", "ogg", "wav"}) {
        const std::string probed = Probed(Convert(wav, target).output);
        const std::size_t front = probed.find("tag:comment=cover (front)\n");
        EXPECT_NE(probed.find("tag:comment=cover (front)\n", front + 1), std::string::npos) << probed;
        EXPECT_NE(probed.find("tag:title=front\n"), std::string::npos) << probed;
        EXPECT_NE(probed.find("tag:title=spare\n"), std::string::npos) << probed;
    }
    const Converted ape = Convert(wav, "ape");
    EXPECT_NE(ape.printed.find("dropped: PICTURE (type 3)\n"), std::string::npos) << ape.printed;
    // The WAV target keeps LIST/INFO for the readers that know only that.
    TagLib::RIFF::WAV::File back(Convert(wav, "wav").output.c_str());
    EXPECT_EQ(back.InfoTag()->title().to8Bit(true), "Tïtle ☃");
    EXPECT_EQ(back.InfoTag()->artist().to8Bit(true), "Ann; Bob");

    const std::string bare = Convert(sources.Mp3(), "ogg", "--no-tags").output;
    EXPECT_TRUE(TagLibFields(bare).empty());
    EXPECT_EQ(FfmpegPicture(sources.dir, bare), "");
}

// An ID3v2 tag by hand: a header with `flags` and the frames.
std::string Id3v2(int version, uint8_t flags, const std::string& frames) {
    std::string tag = std::string("ID3") + char(version) + '\0' + char(flags);
    for (int shift = 21; shift >= 0; shift -= 7) tag += char((frames.size() >> shift) & 0x7F);
    return tag + frames;
}

std::string Frame(const std::string& id, const std::string& body, int bitsPerByte = 8) {
    std::string frame = id;
    for (int i = 3; i >= 0; --i) frame += char((body.size() >> (bitsPerByte * i)) & ((1 << bitsPerByte) - 1));
    return frame + std::string(2, '\0') + body;
}

TEST(TagRead, HeaderVariantsTextEncodingsAndDamagedFrames) {
    ScratchDir dir;
    RunCommand("sox -n -r 44100 -c 2 -b 16 " + dir / "a.wav synth 0.3 sine 440 && lame --quiet -b 64 " + dir / "a.wav " +
               dir / "audio.mp3");
    const std::string audio = ReadFile(dir / "audio.mp3");

    // An extended header (ID3v2.4's counts its size field, ID3v2.3's does
    // not), the last frame ending the tag, and every text encoding: Latin-1,
    // UTF-16 with a byte-order mark and without one (either byte order),
    // UTF-16BE, UTF-8.
    const std::string frames = Frame("TIT2", std::string("\0Caf\xE9", 5)) +
                               Frame("TPE1", std::string("\x01\xFF\xFE" "A\0n\0", 7)) +
                               Frame("TPE2", std::string("\x01" "B\0a\0", 5)) +
                               Frame("TALB", std::string("\x01\0B\0e", 5)) + Frame("TPE3", std::string("\x02\0C\0o", 5)) +
                               Frame("TCOM", "\x03Zo\xC3\xAB") + Frame("TCON", std::string("\x01R\0o\0c\0k\0\0\0", 11));
    for (const auto& [version, extended] :
         {std::pair{4, std::string("\0\0\0\x06\x01\0", 6)}, {3, std::string("\0\0\0\x06\0\0\0\0\0\0", 10)}}) {
        // The same tag leading an MP3 and in a WAV's "id3 " chunk.
        const std::string tag = Id3v2(version, 0x40, extended + frames);
        auto le32 = [](std::size_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
        std::string wav = ReadFile(dir / "a.wav") + "id3 " + le32(tag.size()) + tag + std::string(tag.size() % 2, '\0');
        WriteFile(dir / "extended.wav", wav.replace(4, 4, le32(wav.size() - 8)));
        WriteFile(dir / "extended.mp3", tag + audio);
        for (const auto& [name, form] : {std::pair{"extended.mp3", &kMpegTags}, {"extended.wav", &kWaveTags}}) {
            const TagReadResult read = ReadTags(dir / name, *form);
            EXPECT_EQ(read.tags.fields, (std::map<std::string, Values>{
                                            {"TITLE", {"Café"}}, {"ARTIST", {"An"}}, {"ALBUMARTIST", {"Ba"}},
                                            {"ALBUM", {"Be"}}, {"CONDUCTOR", {"Co"}}, {"COMPOSER", {"Zoë"}},
                                            {"GENRE", {"Rock"}}})) << version << name;
            EXPECT_TRUE(read.unreadable.empty());
        }
    }

    // ID3v2.3, unsynchronised: "ÿà" (FF E0) is stored as FF 00 E0; the
    // frame's size counts the bytes after resynchronisation.
    WriteFile(dir / "unsync.mp3", Id3v2(3, 0x80, std::string("TIT2\0\0\0\x03\0\0\0\xFF\0\xE0", 14)) + audio);
    EXPECT_EQ(ReadTags(dir / "unsync.mp3", kMpegTags).tags.fields.at("TITLE"), Values{"ÿà"});

    // ID3v1 only, from id3v2 -1; APEv2 on an MP3, from TagLib.
    WriteFile(dir / "v1.mp3", audio);
    RunCommand("id3v2 -1 -t Old -a Timer -T 7 " + dir / "v1.mp3");
    EXPECT_EQ(ReadTags(dir / "v1.mp3", kMpegTags).tags.fields,
              (std::map<std::string, Values>{{"TITLE", {"Old"}}, {"ARTIST", {"Timer"}}, {"TRACKNUMBER", {"7"}}}));
    WriteFile(dir / "ape.mp3", audio);
    {
        TagLib::MPEG::File file((dir / "ape.mp3").c_str());
        file.APETag(true)->setProperties(AllFields());
        ASSERT_TRUE(file.save(TagLib::MPEG::File::APE));
    }
    EXPECT_EQ(ReadTags(dir / "ape.mp3", kMpegTags).tags.fields.at("ARTIST"), (Values{"Ann", "Bob"}));

    // A conversion reports damaged frames, and the audio still converts: the
    // second frame (behind the first's 15 bytes) claims more bytes than the tag has.
    std::string damagedFrames = Frame("TIT2", std::string("\0Kept", 5)) + Frame("TPE1", std::string("\0Lost", 5));
    damagedFrames[15 + 4] = '\x7F';
    WriteFile(dir / "damaged.mp3", Id3v2(3, 0, damagedFrames + std::string(64, '\0')) + audio);
    const Converted damaged = Convert(dir / "damaged.mp3", "ogg");
    EXPECT_NE(damaged.printed.find("dropped: ID3v2 (damaged frames)\n"), std::string::npos) << damaged.printed;
    EXPECT_EQ(TagLibFields(damaged.output)["TITLE"], Values{"Kept"});
    // Padding alone is no damage.
    WriteFile(dir / "padded.mp3", Id3v2(3, 0, Frame("TIT2", std::string("\0Fine", 5)) + std::string(64, '\0')) + audio);
    EXPECT_EQ(Convert(dir / "padded.mp3", "ogg").printed.find("dropped:"), std::string::npos);
}

// Fields as other readers find them: MusicBrainz descriptions (in either
// spelling) in Picard's, comments and lyrics with their language and
// description, LIST/INFO (the "id3 " chunk hidden from ffprobe) with every
// field it has an id for; nothing that describes the source's encoding.
TEST(TagCopy, OtherReadersFindEveryFieldAndNoneAboutTheSourceFile) {
    ScratchDir dir;
    const std::string mp3 = dir / "in.mp3";
    RunCommand("sox -n -r 44100 -c 2 -b 16 " + dir / "a.wav synth 0.3 sine 440 && lame --quiet -b 64 " + dir / "a.wav " +
               mp3 + " && id3v2 -2 -t Song -a Ann -A Disc -y 2001 -g 17 -T 3/12 -c Note:Nice:deu --USLT 'Words:La la:fra' "
               "--TCOP Copy --TENC Ed --TSSE 'Src Enc' --TLEN 300 --TXXX 'MusicBrainz Disc Id:disc-id' "
               "--COMM 'iTunSMPB: 00000000 00000840' " + mp3 +
               " && eyeD3 --user-text-frame 'MUSICBRAINZ ALBUM ID:album-id' "
               "--user-text-frame 'WAVEFORMATEXTENSIBLE_CHANNEL_MASK:0x003F' " + mp3);
    const Converted lame = Convert(mp3, "lame");
    EXPECT_EQ(lame.printed.find("dropped:"), std::string::npos) << lame.printed;
    const std::string id3 = RunCommand("eyeD3 --no-color -v '" + lame.output + "'").out;
    for (const char* text : {"[Description: Note] [Lang: deu]\nNice\n", "[Description: Words] [Lang: fra]\nLa la\n",
                             "[Description: MusicBrainz Disc Id]\ndisc-id\n", "[Description: MusicBrainz Album Id]\n",
                             "\nTENC "})
        EXPECT_NE(id3.find(text), std::string::npos) << text << id3;
    EXPECT_EQ(id3.find("TSSE"), std::string::npos) << id3;
    EXPECT_EQ(id3.find("TLEN"), std::string::npos) << id3;

    std::string wav = ReadFile(Convert(mp3, "wav").output);
    WriteFile(dir / "info.wav", wav.replace(wav.rfind("ID3 "), 4, "junk"));
    const std::string vorbis = Probed(Convert(mp3, "ogg").output);
    const std::string info = Probed(dir / "info.wav");
    for (const char* line : {"title=song", "artist=ann", "album=disc", "date=2001", "genre=rock", "track=3/12",
                             "copyright=copy", "encoded_by=ed"})
        EXPECT_NE(info.find(std::string("tag:") + line + "\n"), std::string::npos) << line << info;
    for (const char* line : {"musicbrainz_discid=disc-id", "musicbrainz_albumid=album-id", "encodedby=ed"})
        EXPECT_NE(vorbis.find(std::string("tag:") + line + "\n"), std::string::npos) << line << vorbis;
    for (const std::string& probed : {info, vorbis})
        for (const char* stale : {"src enc", "=300\n", "0x003f", "00000840"})
            EXPECT_EQ(probed.find(stale), std::string::npos) << stale << probed;
}

TEST(TagCopy, MegabyteCoversSurviveBothWays) {
    ScratchDir dir;
    const std::string big = Sources::Jpeg(dir, "big.jpg", "1024x1024 xc:gray +noise Random -quality 100");
    ASSERT_GT(big.size(), 1000000u);
    // Vorbis comments of that size span many Ogg pages.
    RunCommand("sox -n -r 44100 -c 2 -b 16 " + dir / "a.wav synth 0.3 sine 440 && oggenc -Q -t Big -o " + dir / "big.ogg " +
               dir / "a.wav");
    WriteFile(dir / "comments.txt", PictureComment(dir, big, ""));
    ASSERT_EQ(RunCommand("vorbiscomment -a -c " + dir / "comments.txt " + dir / "big.ogg").status, 0);
    const std::string mp3 = Convert(dir / "big.ogg", "lame").output;
    EXPECT_EQ(FfmpegPicture(dir, mp3), big);
    const std::string ogg = Convert(mp3, "ogg").output;
    EXPECT_EQ(FfmpegPicture(dir, ogg), big);
    EXPECT_EQ(TagLibFields(ogg)["TITLE"], Values{"Big"});
}


TEST(GainTags, EachOutputGetsItsOwnConvention) {
    using Fields = std::map<std::string, std::vector<std::string>>;
    const std::tuple<Fields, bool, Fields> cases[] = {
        // -6.50 dB to -18 LUFS is -11.50 dB to -23 LUFS: -2944 in Q7.8.
        {{{"REPLAYGAIN_TRACK_GAIN", {"-6.50 dB"}}, {"REPLAYGAIN_TRACK_PEAK", {"0.98"}},
          {"REPLAYGAIN_ALBUM_GAIN", {"+2.25 dB"}}, {"REPLAYGAIN_REFERENCE_LOUDNESS", {"89.0 dB"}}, {"TITLE", {"t"}}},
         true, {{"R128_TRACK_GAIN", {"-2944"}}, {"R128_ALBUM_GAIN", {"-704"}}, {"TITLE", {"t"}}}},
        {{{"R128_TRACK_GAIN", {"-2944"}}, {"R128_ALBUM_GAIN", {"300"}}}, false,
         {{"REPLAYGAIN_TRACK_GAIN", {"-6.50 dB"}}, {"REPLAYGAIN_ALBUM_GAIN", {"6.17 dB"}}}},
        // Each form already the output's wins over the other; what is no number goes.
        {{{"R128_TRACK_GAIN", {"12"}}, {"REPLAYGAIN_TRACK_GAIN", {"-1 dB"}}}, true, {{"R128_TRACK_GAIN", {"12"}}}},
        {{{"R128_TRACK_GAIN", {"12"}}, {"REPLAYGAIN_TRACK_GAIN", {"-1 dB"}}, {"REPLAYGAIN_TRACK_PEAK", {"0.5"}}},
         false, {{"REPLAYGAIN_TRACK_GAIN", {"-1.00 dB"}}, {"REPLAYGAIN_TRACK_PEAK", {"0.5"}}}},
        {{{"REPLAYGAIN_TRACK_GAIN", {"loud"}}, {"R128_ALBUM_GAIN", {"99999"}}}, false, {}},
    };
    for (const auto& [source, toR128, expected] : cases) {
        Tags tags{source, {}};
        ConvertGainTags(tags, toR128 ? GainConvention::kR128 : GainConvention::kReplayGain);
        EXPECT_EQ(tags.fields, expected);
    }
}

}  // namespace
}  // namespace zelph::test
