// Other people's formats in, AIFF out, through the command-line program:
// each source made at test time is described, decoded as long as FFmpeg
// decodes it (bit for bit when lossless), files outside the demuxers we name
// are refused with a reason, and AIFF outputs read back bit for bit in sox
// and FFmpeg with their tags.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

struct Kind {
    const char* name;
    const char* extension;
    const char* command;  // from "$in", a 16-bit stereo 44.1 kHz WAV
    const char* description;
    bool lossless;
};
constexpr Kind kKinds[] = {
    {"AAC in M4A", ".m4a", "ffmpeg -y -v error -i $in -c:a aac -b:a 192k $out", "AAC LC Stereo ", false},
    {"ALAC 24-bit 96 kHz", ".m4a", "sox $in -b 24 -r 96000 $in.96.wav && ffmpeg -y -v error -i $in.96.wav -c:a alac $out",
     "ALAC Stereo 24Bit 96000Hz", true},
    {"WMA", ".wma", "ffmpeg -y -v error -i $in -c:a wmav2 -b:a 192k $out", "WMA Stereo 192Kbps 44100Hz", false},
    {"AIFF", ".aif", "sox $in $out", "AIFF Stereo 16Bit 44100Hz", true},
    {"WavPack", ".wv", "wavpack -q $in -o $out", "WavPack Stereo 16Bit 44100Hz", true},
    {"TTA", ".tta", "ffmpeg -y -v error -i $in $out", "TTA Stereo 16Bit 44100Hz", true},
    // Float samples that FFmpeg gives interleaved rather than one array per channel.
    {"float Wave64", ".w64", "ffmpeg -y -v error -i $in -c:a pcm_f32le $out", "Wave64 Float Stereo 32Bit 44100Hz", false},
};

}  // namespace

TEST(OtherSources, DescribedAndDecodedAsFfmpegDecodesThem) {
    ScratchDir dir;
    const std::string plain = dir / "plain.wav";
    std::filesystem::create_directory(dir / "out");
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 " + plain + " synth 0.7 sine 300 sine 500 vol 0.4").status, 0);
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const std::string source = dir / (std::string("source") + kind.extension);
        ASSERT_EQ(RunCommand(Filled(kind.command, plain, source)).status, 0);
        const std::string described = RunCommand(BinDir() + "/zelph-convert --describe " + source).out;
        EXPECT_NE(described.find(std::string("\t") + kind.description), std::string::npos) << described;
        // FLAC keeps the decoded channels, sample size and rate.
        EXPECT_EQ(ConvertOne("--target flac", dir.path(), source), "Done\t" + source + "\n");
        const std::string ours = DecodedDigest(FfmpegS32(dir / "source.flac")), theirs = DecodedDigest(FfmpegS32(source));
        EXPECT_EQ(ours.substr(ours.find('\n')), theirs.substr(theirs.find('\n')));  // the length
        if (kind.lossless) { EXPECT_EQ(ours, theirs); }
        if (kind.lossless) continue;
        // Float audio dithered to 16 bits on its way out of the decoder is
        // what the WAV stage makes of the same audio as a float WAV.
        const std::string floatWav = dir / "float.wav";
        ASSERT_EQ(RunCommand("ffmpeg -y -v error -i " + source + " -c:a pcm_f32le " + floatWav).status, 0);
        EXPECT_EQ(ConvertOne("--target wav", dir / "out", source), "Done\t" + source + "\n");
        EXPECT_EQ(ConvertOne("--target wav", dir / "out", floatWav), "Done\t" + floatWav + "\n");
        EXPECT_TRUE(SoxPcm(dir / "out/source.wav") == SoxPcm(dir / "out/float.wav"));
    }
}

TEST(OtherSources, FilesOutsideTheWhitelistAreRefusedWithAReason) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("ffmpeg -v error -f lavfi -i testsrc=d=0.2 -c:v mpeg4 " + dir / "video.mp4").status, 0);
    ASSERT_EQ(RunCommand("sox -n " + dir / "riff.wav" + " synth 0.2 sine 300 && mv " + dir / "riff.wav " + dir / "riff.w64")
                  .status,
              0);
    EXPECT_NE(ConvertOne("--target wav", dir.path(), dir / "video.mp4").find("the file holds no audio stream"),
              std::string::npos);
    // A RIFF WAVE named as Wave64: FFmpeg's WAV demuxer is not one we let it use.
    EXPECT_NE(ConvertOne("--target wav", dir.path(), dir / "riff.w64").find("not a file of a format it reads"),
              std::string::npos);
}

TEST(AiffTarget, RoundTripsBitExactWithItsTags) {
    ScratchDir dir;
    const char* sources[] = {"-r 44100 -c 1 -b 16", "-r 96000 -c 2 -b 24", "-r 8000 -c 1 -b 24"};
    for (const char* form : sources) {
        SCOPED_TRACE(form);
        const std::string wav = dir / "in.wav";
        ASSERT_EQ(RunCommand(std::string("sox -n ") + form + " " + dir / "tone.wav synth 1001s sine 300 sine 500 && "
                             "ffmpeg -y -v error -i " + dir / "tone.wav -c copy -metadata title=Zelph " + wav)
                      .status,
                  0);
        EXPECT_EQ(ConvertOne("--verify --target aiff", dir.path(), wav), "Done\t" + wav + "\n");
        const std::string aiff = dir / "in.aiff";
        EXPECT_EQ(DecodedDigest("sox " + aiff + " -t raw -"), DecodedDigest("sox " + wav + " -t raw -"));
        EXPECT_EQ(DecodedDigest(FfmpegS32(aiff)), DecodedDigest(FfmpegS32(wav)));
        EXPECT_EQ(RunCommand("ffprobe -v error -show_entries format_tags=title -of csv=p=0 " + aiff).out, "Zelph\n");
    }
}

}  // namespace zelph::test
