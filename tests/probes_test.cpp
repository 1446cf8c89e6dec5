#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/targets.h"
#include "formats/flacprobe.h"
#include "formats/probes.h"
#include "tests/support/scratch.h"

namespace zelph::test {

namespace {

std::string LE(uint32_t v, int width = 4) {
    std::string out;
    for (int i = 0; i < width; ++i) out += static_cast<char>(v >> (8 * i));
    return out;
}

std::string Ape(uint16_t version, uint16_t bits, uint16_t channels, uint32_t rate) {
    return "MAC " + LE(version, 2) + std::string(46, '\0') + std::string(16, '\0') + LE(bits, 2) +
           LE(channels, 2) + LE(rate);
}

std::string OggFirstPage(const std::string& packet, uint8_t segments = 1) {
    return "OggS" + std::string(22, '\0') + static_cast<char>(segments) + std::string(segments, '\x1e') + packet;
}

std::string VorbisId(uint8_t channels, int32_t rate, int32_t maximum, int32_t nominal, int32_t minimum) {
    return "\x01vorbis" + LE(0) + static_cast<char>(channels) + LE(rate) + LE(maximum) + LE(nominal) + LE(minimum);
}

std::string BE(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

std::string TwinVq(uint32_t mode, uint32_t kbps, uint32_t khz) {
    return "TWIN97012000" + BE(0) + "COMM" + BE(12) + BE(mode) + BE(kbps) + BE(khz);
}

class Probes : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string wav = dir / "tone.wav";
    void SetUp() override {
        ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 3 sine 440").status, 0);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        WriteFile(dir / name, bytes);
        return dir / name;
    }
    // Encodes `source` (the tone unless named) with `command`, which names it $in and its output $out.
    std::string Encode(const std::string& name, const std::string& command, const std::string& source = "") {
        const std::string filled = Filled(command, source.empty() ? wav : source, dir / name);
        EXPECT_EQ(RunCommand(filled + " 2>/dev/null").status, 0) << filled;
        return dir / name;
    }
};

}  // namespace

TEST_F(Probes, MpegFilesFromEncoders) {
    const std::pair<const char*, const char*> cases[] = {  // the encoding command, the text
        {"lame -S --preset cbr 128 $in $out", "MPEG 1 Layer III JointStereo 128Kbps 44100Hz"},
        {"lame -S -V 2 $in $out", "MPEG 1 Layer III JointStereo 128Kbps 44100Hz"},  // the Xing frame's rate
        {"lame -S --abr 96 -m s --resample 44.1 $in $out", "MPEG 1 Layer III Stereo 128Kbps 44100Hz"},
        {"lame -S -m m -b 64 $in $out", "MPEG 1 Layer III Mono 64Kbps 44100Hz"},
        {"lame -S -b 64 --resample 22.05 $in $out", "MPEG 2 Layer III JointStereo 64Kbps 22050Hz"},
        {"lame -S -m m -b 24 --resample 8 $in $out", "MPEG 2.5 Layer III Mono 24Kbps 8000Hz"},
        {"ffmpeg -v error -i $in -c:a mp2 -b:a 192k $out", "MPEG 1 Layer II Stereo 192Kbps 44100Hz"},
        {"lame -S -m d -b 160 $in $out", "MPEG 1 Layer III DualChannel 160Kbps 44100Hz"},
    };
    int n = 0;
    for (const auto& [command, text] : cases) {
        const std::string name = "t" + std::to_string(n++) + (std::string(command).find("mp2") != std::string::npos ? ".mp2" : ".mp3");
        EXPECT_EQ(DescribeMpegFile(Encode(name, command)), text) << command;
    }
    EXPECT_EQ(DescribeMpegFile(Write("junk.mp3", std::string(40000, '\xff'))), "Not a Valid MPEG File");
}

TEST_F(Probes, MpegWithCoverArtTags) {
    // Cover art far beyond the 16 KiB search range, and two tags in a row.
    ASSERT_EQ(RunCommand("head -c 200000 /dev/urandom | cat " + Write("jfif", "\xff\xd8\xff\xe0") + " - > " +
                         dir / "cover.jpg").status, 0);
    const std::string tagged =
        Encode("art.mp3", "lame -S -b 192 --tt Title --ta Artist --ti " + dir / "cover.jpg" + " $in $out");
    const std::string twice = test::ReadFile(tagged);
    ASSERT_EQ(twice.substr(0, 3), "ID3");
    std::size_t tagEnd = 10;
    for (int i = 6; i < 10; ++i) tagEnd += std::size_t(twice[i]) << (7 * (9 - i));
    ASSERT_GT(tagEnd, 200000u);
    EXPECT_EQ(DescribeMpegFile(tagged), "MPEG 1 Layer III JointStereo 192Kbps 44100Hz");
    EXPECT_EQ(DescribeMpegFile(Write("twice.mp3", twice.substr(0, tagEnd) + twice)),
              "MPEG 1 Layer III JointStereo 192Kbps 44100Hz");
    // A tag that claims more bytes than the file holds.
    EXPECT_EQ(DescribeMpegFile(Write("cut.mp3", twice.substr(0, tagEnd - 100))), "Not a Valid MPEG File");
}

TEST_F(Probes, OggVorbisTexts) {
    // The nominal bitrate is cross-checked with ogginfo.
    const std::pair<const char*, const char*> cases[] = {  // the encoding command, the kind of bit rate
        {"oggenc -Q -q 0 $in -o $out", "VBR"},
        {"oggenc -Q -q 6 $in -o $out", "VBR"},
        {"oggenc -Q -b 128 --managed $in -o $out", "ABR"},
        {"oggenc -Q -b 128 -m 128 -M 128 $in -o $out", "CBR"},
        {"oggenc -Q -m 96 -M 192 $in -o $out", "ABR"},
    };
    int n = 0;
    for (const auto& [command, kind] : cases) {
        const std::string ogg = Encode("t" + std::to_string(n++) + ".ogg", command);
        const std::string info = RunCommand("ogginfo " + ogg + " | sed -n 's/.*Nominal bitrate: \\([0-9]*\\).*/\\1/p'").out;
        EXPECT_EQ(DescribeOggFile(ogg), std::string("OggVorbis ") + kind + " Stereo " +
                                            info.substr(0, info.size() - 1) + "Kbps 44100Hz") << command;
    }
    EXPECT_EQ(DescribeOggFile(Write("a.ogg", OggFirstPage(VorbisId(1, 22050, 0, 0, 0)))), "OggVorbis Mono 22050Hz");
    EXPECT_EQ(DescribeOggFile(Write("b.ogg", OggFirstPage(VorbisId(2, 44100, -1, 160000, -1), 255))),
              "OggVorbis ABR Stereo 160Kbps 44100Hz");
    EXPECT_EQ(DescribeOggFile(Write("c.ogg", OggFirstPage(VorbisId(1, 8000, 0, 64999, 0)))),
              "OggVorbis VBR Mono 64Kbps 8000Hz");
    EXPECT_EQ(DescribeOggFile(Write("d.ogg", OggFirstPage(VorbisId(6, 48000, 0, 0, 0)))),
              "Unrecognized OggVorbis Format");
    EXPECT_EQ(DescribeOggFile(Write("e.ogg", OggFirstPage(VorbisId(2, 44100, 0, 0, 0).substr(0, 12)))),
              "Unrecognized OggVorbis Format");
    for (const std::string& other : {OggFirstPage("\x7f" "FLAC\x01\x00"), OggFirstPage("Speex   1.2"),
                                     OggFirstPage(VorbisId(2, 44100, 0, 0, 0)).replace(0, 4, "OggX"),
                                     OggFirstPage("\x03vorbis"), std::string("OggS")})
        EXPECT_EQ(DescribeOggFile(Write("f.ogg", other)), "Not A Valid OggVorbis File");
}

TEST_F(Probes, MonkeysAudioAndTwinVqImages) {
    EXPECT_EQ(DescribeApeFile(Write("a.ape", Ape(3990, 16, 2, 44100))), "MonkeysAudio Stereo 16Bit 44100Hz");
    EXPECT_EQ(DescribeApeFile(Write("a.ape", Ape(3999, 24, 1, 96000))), "MonkeysAudio Mono 24Bit 96000Hz");
    EXPECT_EQ(DescribeApeFile(Write("a.ape", Ape(3980, 16, 2, 44100))), "MonkeysAudio Old Format Not Supported");
    for (const std::string& bytes : {Ape(3990, 16, 3, 44100), Ape(3990, 16, 2, 44100).substr(0, 70)})
        EXPECT_EQ(DescribeApeFile(Write("a.ape", bytes)), "Unrecognized MonkeysAudio Format");
    for (const std::string& bytes : {std::string("MAC"), Ape(3990, 16, 2, 44100).replace(3, 1, "X")})
        EXPECT_EQ(DescribeApeFile(Write("a.ape", bytes)), "Not A Valid MonkeysAudio File");

    EXPECT_EQ(DescribeTwinVqFile(Write("a.vqf", TwinVq(1, 20, 22))), "TwinVQ Stereo 20Kbps 22KHz");
    EXPECT_EQ(DescribeTwinVqFile(Write("a.vqf", TwinVq(0, 8, 11))), "TwinVQ Mono 8Kbps 11KHz");
    for (const std::string& bytes :
         {TwinVq(2, 20, 22), TwinVq(1, 20, 22).replace(16, 4, "DATA"), TwinVq(1, 20, 22).substr(0, 30)})
        EXPECT_EQ(DescribeTwinVqFile(Write("a.vqf", bytes)), "Not A Valid TwinVQ File");
    // Bytes count as signed: 0x01FF is 1 + (-1).
    EXPECT_EQ(DescribeTwinVqFile(Write("a.vqf", TwinVq(0x01FF, 0x0112, 44))), "TwinVQ Mono 19Kbps 44KHz");
}

TEST_F(Probes, DispatchByExtensionAndFilesInUse) {
    const std::string mp3 = Encode("Song.MP3", "lame -S -b 128 $in $out");
    EXPECT_EQ(DescribeAudioFile(mp3).text, "MPEG 1 Layer III JointStereo 128Kbps 44100Hz");
    const std::string asWav = dir / "song.wav";
    ASSERT_EQ(::rename(mp3.c_str(), asWav.c_str()), 0);
    EXPECT_EQ(DescribeAudioFile(asWav).text, "Not A Valid Wave File");
    const std::string ogg = Encode("two.dots.ogg", "oggenc -Q -q 3 $in -o $out");
    EXPECT_EQ(DescribeAudioFile(ogg).text, "OggVorbis VBR Stereo 112Kbps 44100Hz");
    EXPECT_TRUE(DescribeAudioFile(dir / "missing.vqf").known);
    for (const std::string& unknown : {dir / "README", dir / "x.xyz", dir / "x.mp3.bak"}) {
        const AudioDescription d = DescribeAudioFile(unknown);
        EXPECT_FALSE(d.known);
        EXPECT_EQ(d.text, "Unknown Audio File Format");
    }

    // Missing, or held by another open: the same text from every probe.
    const std::string held = Write("held", Ape(3990, 16, 2, 44100));
    const int fd = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);  // must not stall the open
    for (const std::string& path : {held, dir / "missing", dir / "pipe", dir.path()})
        for (auto probe : {DescribeApeFile, DescribeFlacFile, DescribeMpegFile, DescribeOggFile, DescribeOpusFile,
                           DescribeTwinVqFile})
            EXPECT_EQ(probe(path), "File Doesnot Exist Or In Use") << path;
    ::close(fd);
    EXPECT_EQ(DescribeApeFile(held), "MonkeysAudio Stereo 16Bit 44100Hz");
}

TEST_F(Probes, FlacAndOpusFromTheirEncoders) {
    const std::string hiRes = dir / "hi.wav", surround = dir / "six.wav";
    ASSERT_EQ(RunCommand("sox -n -r 96000 -c 2 -b 24 " + hiRes + " synth 0.2 sine 440 && sox -n -r 48000 -c 6 -b 16 " +
                         surround + " synth 0.2 sine 440").status, 0);
    EXPECT_EQ(DescribeAudioFile(Encode("a.flac", "flac -s -f $in -o $out")).text, "FLAC Stereo 16Bit 44100Hz");
    EXPECT_EQ(DescribeAudioFile(Encode("hi.FLAC", "flac -s -f $in -o $out", hiRes)).text, "FLAC Stereo 24Bit 96000Hz");
    EXPECT_EQ(DescribeAudioFile(Encode("hi.oga", "flac -s -f --ogg $in -o $out", hiRes)).text, "FLAC Stereo 24Bit 96000Hz");
    EXPECT_EQ(DescribeAudioFile(Encode("m.flac", "flac -s -f --channels=1 --force-raw-format --endian=little "
                                                 "--sign=signed --bps=8 --sample-rate=8000 $in -o $out", "/dev/null")).text,
              "FLAC Mono 8Bit 8000Hz");
    EXPECT_EQ(DescribeAudioFile(Encode("six.flac", "flac -s -f $in -o $out", surround)).text, "Unrecognized FLAC Format");
    // A tag written before the stream, as some taggers do, is stepped over.
    const std::string tagged = Write("tagged.flac", std::string("ID3\x03\x00\x00\x00\x00\x00\x10", 10) +
                                                        std::string(16, '\0') + test::ReadFile(dir / "a.flac"));
    EXPECT_EQ(DescribeFlacFile(tagged), "FLAC Stereo 16Bit 44100Hz");
    EXPECT_EQ(DescribeFlacFile(Encode("v.ogg", "oggenc -Q -q 3 $in -o $out")), "Not A Valid FLAC File");

    EXPECT_EQ(DescribeAudioFile(Encode("a.opus", "opusenc --quiet $in $out")).text, "Opus Stereo 48000Hz");
    EXPECT_EQ(DescribeAudioFile(Encode("m.Opus", "opusenc --quiet --downmix-mono $in $out")).text, "Opus Mono 48000Hz");
    EXPECT_EQ(DescribeOpusFile(Encode("six.opus", "opusenc --quiet $in $out", surround)), "Unrecognized Opus Format");
    EXPECT_EQ(DescribeOpusFile(dir / "hi.oga"), "Not A Valid Opus File");
    EXPECT_EQ(DescribeOpusFile(Write("short.opus", OggFirstPage("OpusHead"))), "Unrecognized Opus Format");
    EXPECT_EQ(DescribeFlacFile(Write("short.flac", "fLaC\x80\x00\x00\x22")), "Not A Valid FLAC File");
}

}  // namespace zelph::test
