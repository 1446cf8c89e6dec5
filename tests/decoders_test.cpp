// The MP3 and Ogg Vorbis decoders on files made by lame and oggenc, judged
// against mpg123's and oggdec's decodes of the same files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codecs/mp3decoder.h"
#include "codecs/oggdecoder.h"
#include "tests/support/enginecheck.h"
#include "tests/support/mp3check.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

std::string SweepWav(const ScratchDir& dir, const std::string& name, int rate, int channels, double seconds) {
    const std::string path = dir / name;
    WriteFile(path, WavFile(SineSweep(rate, channels, seconds), rate, channels));
    return path;
}

bool ChannelsEqual(const PcmWav& wav) {
    for (std::size_t i = 0; i + 1 < wav.pcm.size(); i += 2)
        if (wav.pcm[i] != wav.pcm[i + 1]) return false;
    return true;
}

TEST(DitherSample, RoundsDithersAndClipsAsTheDecoderAlwaysHas) {
    uint32_t seed = 0xA8B9FF7E;
    EXPECT_EQ(DitherSample(0, &seed), -1);
    EXPECT_EQ(seed, 0xDCFB20C5u);
    EXPECT_EQ(DitherSample(0, &seed), 1);
    EXPECT_EQ(DitherSample(0, &seed), 0);
    EXPECT_EQ(DitherSample(0, &seed), 0);

    seed = 0xA8B9FF7E;
    EXPECT_EQ(DitherSample(0x08000000, &seed), 16383);
    EXPECT_EQ(DitherSample(0x20000000, &seed), 32767);
    EXPECT_EQ(DitherSample(-0x20000000, &seed), -32768);
    EXPECT_EQ(DitherSample(INT32_MAX, &seed), 32767) << "the fixed-point limit clips, never wraps";
    EXPECT_EQ(DitherSample(INT32_MIN, &seed), -32768);

    // A stereo sample's two steps taken at once are the same two steps.
    for (const int32_t sample : {0, 0x01234567, -0x0FEDCBA9, INT32_MAX}) {
        uint32_t one = 0xA8B9FF7E ^ static_cast<uint32_t>(sample), both = one;
        const std::pair<int16_t, int16_t> apart{DitherSample(sample, &one), DitherSample(-sample / 3, &one)};
        EXPECT_EQ(DitherStereo(sample, -sample / 3, &both), apart);
        EXPECT_EQ(both, one);
    }
}

// The largest difference between two signals of the same length.
int LargestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

// mpg123's gapless decode of `mp3` as 16-bit stereo, interleaved.
std::vector<int16_t> Mpg123Stereo(const std::string& mp3) {
    const std::string bytes = RunCommand("mpg123 -q --stereo -s '" + mp3 + "'").out;
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}
std::size_t Mpg123Frames(const std::string& mp3) { return Mpg123Stereo(mp3).size() / 2; }

// LAME's CBR, VBR and ABR with and without the Info frame (-t), FFmpeg's
// encoder, MPEG-1, 2 and 2.5 rates, mono: the exact length, and mpg123's
// samples but for the dither.
TEST(DecodeMp3, SampleCountsAndSamplesMatchMpg123sGaplessDecode) {
    // The rate, the channels, and the command that encodes in.wav to a.mp3 in the scratch folder.
    const std::tuple<int, int, const char*> cases[] = {
        {44100, 2, "lame --quiet -b 128 in.wav a.mp3"},       {48000, 2, "lame --quiet -V 2 in.wav a.mp3"},
        {44100, 2, "lame --quiet -V 2 -t in.wav a.mp3"},      {32000, 2, "lame --quiet -b 96 -t in.wav a.mp3"},
        {44100, 2, "lame --quiet --abr 160 in.wav a.mp3"},    {44100, 2, "lame --quiet --abr 160 -t in.wav a.mp3"},
        {44100, 2, "ffmpeg -v error -i in.wav -b:a 192k a.mp3"}, {22050, 2, "lame --quiet -b 64 in.wav a.mp3"},
        {24000, 2, "lame --quiet -V 4 -t in.wav a.mp3"},      {16000, 1, "lame --quiet -b 48 in.wav a.mp3"},
        {11025, 2, "lame --quiet -b 32 -t in.wav a.mp3"},     {8000, 1, "lame --quiet -b 16 in.wav a.mp3"},
        {44100, 1, "lame --quiet -V 4 -t in.wav a.mp3"}};
    for (const auto& [rate, channels, encode] : cases) {
        SCOPED_TRACE(std::to_string(rate) + " Hz: " + encode);
        ScratchDir dir;
        SweepWav(dir, "in.wav", rate, channels, 2.0);
        ASSERT_EQ(RunCommand("cd " + dir.path() + " && " + encode).status, 0);
        const Mp3Scan scan = ScanMp3(ReadFile(dir / "a.mp3"));
        ASSERT_EQ(scan.frames.back().sampleRate, rate);
        ExpectEnded(RunEngine(zelph::DecodeMp3, dir / "a.mp3", dir / "out.wav"), true);

        const PcmWav out = ReadPcmWav(dir / "out.wav");
        EXPECT_TRUE(out.honest);
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.rate, rate);
        // With a LAME tag exactly the encoded samples come back; without
        // one (-t, and at 8 kHz where the tag does not fit a frame) every
        // frame, the last one (ending exactly at the end of the file) included.
        const std::size_t frameSamples = rate >= 32000 ? 1152 : 576;
        EXPECT_EQ(out.frames(), scan.tagged() ? static_cast<std::size_t>(2.0 * rate) : scan.frames.size() * frameSamples);
        if (channels == 1) {
            EXPECT_TRUE(ChannelsEqual(out));
        }
        const std::vector<int16_t> reference = Mpg123Stereo(dir / "a.mp3");
        ASSERT_EQ(out.pcm.size(), reference.size());
        EXPECT_LE(LargestDifference(out.pcm, reference), 2);
    }
}

// Bytes cut out of the middle: the frame the cut runs into is decoded from
// what follows the hole, the decoder then searches for the next frame less
// than a frame's length on, and the result names that, so the source is kept.
// A file cut inside its last frame keeps the whole frames before it.
TEST(DecodeMp3, AHoleIsNamedAndKeepsTheSourceAndACutFileKeepsItsWholeFrames) {
    ScratchDir dir;
    SweepWav(dir, "in.wav", 44100, 2, 3.0);
    ASSERT_EQ(RunCommand("cd " + dir.path() + " && lame --quiet -b 128 -t in.wav full.mp3").status, 0);
    const std::string full = ReadFile(dir / "full.mp3");
    WriteFile(dir / "hole.mp3", full.substr(0, 20000) + full.substr(23000));
    const auto job = RunEngine(zelph::DecodeMp3, dir / "hole.mp3", dir / "out.wav");
    EXPECT_EQ(job.succeeded, 1);
    EXPECT_EQ(job.reason, "damaged: 1 frame skipped");
    EXPECT_EQ(ReadPcmWav(dir / "out.wav").frames(), Mpg123Frames(dir / "hole.mp3"));
    const auto cli = RunCommand("cd " + dir.path() + " && " + BinDir() +
                                "/zelph-convert --quiet --target wav --if-exists overwrite --delete-source hole.mp3");
    EXPECT_EQ(cli.out, "Done\thole.mp3\tdamaged: 1 frame skipped\n");
    EXPECT_TRUE(Exists(dir / "hole.mp3"));

    WriteFile(dir / "cut.mp3", full.substr(0, full.size() - 200));
    const std::size_t wholeFrames = ScanMp3(ReadFile(dir / "cut.mp3")).frames.size();
    ASSERT_EQ(wholeFrames + 1, ScanMp3(full).frames.size());
    EXPECT_EQ(RunEngine(zelph::DecodeMp3, dir / "cut.mp3", dir / "cut.wav").succeeded, 1);
    const PcmWav cut = ReadPcmWav(dir / "cut.wav");
    EXPECT_TRUE(cut.honest);
    EXPECT_EQ(cut.frames(), wholeFrames * 1152);
}

TEST(DecodeMp3, LeadingTagsAndInfoFramesAreNotDecoded) {
    ScratchDir dir;
    const std::string wav = SweepWav(dir, "in.wav", 44100, 2, 1.0);
    // A picture that holds a run of well-formed (silent) frames, in front
    // of the audio.
    std::string picture = "\xFF\xD8\xFF\xE0";
    for (int i = 0; i < 50; ++i) picture += std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\0');
    WriteFile(dir / "cover.jpg", picture);
    ASSERT_EQ(RunCommand("lame --quiet -b 128 --ti " + dir / "cover.jpg" + " --tt x '" + wav + "' " + dir / "a.mp3").status, 0);
    ASSERT_EQ(RunEngine(zelph::DecodeMp3, dir / "a.mp3", dir / "out.wav").succeeded, 1);
    EXPECT_EQ(ReadPcmWav(dir / "out.wav").frames(), 44100u);
    EXPECT_EQ(Mpg123Frames(dir / "a.mp3"), 44100u);

    // An Info tag without LAME's extension (zeroed by hand): the frame is
    // skipped and nothing trimmed.
    ASSERT_EQ(RunCommand("lame --quiet -b 128 '" + wav + "' " + dir / "bare.mp3").status, 0);
    std::string plain = ReadFile(dir / "bare.mp3");
    const std::size_t tagAt = plain.find("Info");
    ASSERT_EQ(tagAt, 36u);
    std::fill(plain.begin() + tagAt + 120, plain.begin() + tagAt + 156, '\0');
    WriteFile(dir / "plain.mp3", plain);
    ASSERT_EQ(RunEngine(zelph::DecodeMp3, dir / "plain.mp3", dir / "plain.wav").succeeded, 1);
    EXPECT_EQ(ReadPcmWav(dir / "plain.wav").frames(), (ScanMp3(plain).frames.size() - 1) * 1152);
}

TEST(FloatToPcm16, TruncatesAndClips) {
    EXPECT_EQ(FloatToPcm16(1.0f), 32767);
    EXPECT_EQ(FloatToPcm16(-1.0f), -32767);
    EXPECT_EQ(FloatToPcm16(1.5f), 32767);
    EXPECT_EQ(FloatToPcm16(-1.5f), -32768);
    EXPECT_EQ(FloatToPcm16(0.99999f), 32766);
    EXPECT_EQ(FloatToPcm16(-0.99999f), -32766);
}

std::string OggencSweep(const ScratchDir& dir, const std::string& name, int rate, int channels,
                        const std::string& options, double seconds = 2.0) {
    const std::string wav = SweepWav(dir, name + ".wav", rate, channels, seconds);
    RunCommand("oggenc -Q " + options + " -o '" + dir / name + "' '" + wav + "'");
    return dir / name;
}

// Our decode against oggdec's: the same samples, but for the last bit
// (oggdec scales by 32768 and rounds, the engine
// scales by 32767 and truncates).
void ExpectLikeOggdec(const std::string& ogg, const PcmWav& out, int channels, int rate) {
    EXPECT_TRUE(out.honest);
    EXPECT_EQ(out.channels, channels);
    EXPECT_EQ(out.rate, rate);
    RunCommand("oggdec -Q -o '" + ogg + ".ref.wav' '" + ogg + "'");
    const std::vector<int16_t> ref = SoxPcm(ogg + ".ref.wav");
    ASSERT_EQ(out.pcm.size(), ref.size());
    EXPECT_LE(LargestDifference(out.pcm, ref), 2);
}

TEST(DecodeOggVorbis, MatchesOggdecAtEveryRateAndChannelCount) {
    const std::tuple<int, int, const char*> cases[] = {{44100, 2, "-q 3"}, {48000, 2, "-b 192"}, {32000, 2, "-q 0"},
                                                      {22050, 2, "-q 5"},  {8000, 1, "-q 2"},    {44100, 1, "-q 4"}};
    for (const auto& [rate, channels, oggencOptions] : cases) {
        SCOPED_TRACE(std::to_string(rate) + " Hz, " + oggencOptions);
        ScratchDir dir;
        const std::string ogg = OggencSweep(dir, "a.ogg", rate, channels, oggencOptions);
        ExpectEnded(RunEngine(zelph::DecodeOggVorbis, ogg, dir / "out.wav"), true);
        ExpectLikeOggdec(ogg, ReadPcmWav(dir / "out.wav"), channels, rate);
    }
}

TEST(DecodeOggVorbis, SixChannelsKeepTheirSpeakers) {
    ScratchDir dir;
    const double tones[6] = {300, 500, 700, 0, 1100, 1300};  // the fourth is the low-frequency channel
    ASSERT_EQ(RunCommand("sox -n -r 48000 -c 6 -b 16 -e signed -t wavpcm " + dir / "six.wav" +
                         " synth 2 sine 300 sine 500 sine 700 sine 60 sine 1100 sine 1300 vol 0.3 && oggenc -Q -o " +
                         dir / "six.ogg " + dir / "six.wav").status, 0);
    EXPECT_EQ(RunEngine(zelph::DecodeOggVorbis, dir / "six.ogg", dir / "out.wav").succeeded, 1);
    const PcmWav out = ReadPcmWav(dir / "out.wav");
    EXPECT_TRUE(out.honest);
    ASSERT_EQ(out.channels, 6);
    EXPECT_EQ(out.frames(), 96000u);
    for (int c = 0; c < 6; ++c)
        if (tones[c] > 0) {
            EXPECT_NEAR(ToneFrequency(out.pcm, 6, c, 48000), tones[c], tones[c] / 100) << "channel " << c;
        }
}

TEST(DecodeOggVorbis, ChainedStreamsOfOneFormatFollowEachOtherAndACutStreamKeepsWhatItHolds) {
    ScratchDir dir;
    const std::string a = OggencSweep(dir, "a.ogg", 44100, 2, "-q 3");
    const std::string b = OggencSweep(dir, "b.ogg", 44100, 2, "-q 6");
    WriteFile(dir / "chain.ogg", ReadFile(a) + ReadFile(b));
    EXPECT_EQ(RunEngine(zelph::DecodeOggVorbis, dir / "chain.ogg", dir / "out.wav").succeeded, 1);
    const PcmWav out = ReadPcmWav(dir / "out.wav");
    EXPECT_EQ(out.frames(), 2 * 88200u);
    ExpectLikeOggdec(dir / "chain.ogg", out, 2, 44100);

    // A stream cut short keeps what it holds.
    const std::string whole = ReadFile(b);
    WriteFile(dir / "cut.ogg", whole.substr(0, whole.size() * 3 / 4));
    EXPECT_EQ(RunEngine(zelph::DecodeOggVorbis, dir / "cut.ogg", dir / "cut.wav").succeeded, 1);
    const PcmWav cut = ReadPcmWav(dir / "cut.wav");
    EXPECT_GT(cut.frames(), 44100u);
    EXPECT_LT(cut.frames(), 88200u);
    ExpectLikeOggdec(dir / "cut.ogg", cut, 2, 44100);

    // A later stream of another rate or channel count would make the header lie.
    WriteFile(dir / "rates.ogg", ReadFile(a) + ReadFile(OggencSweep(dir, "low.ogg", 22050, 2, "-q 3")));
    WriteFile(dir / "channels.ogg", ReadFile(a) + ReadFile(OggencSweep(dir, "mono.ogg", 44100, 1, "-q 3")));
    EXPECT_EQ(RunEngine(zelph::DecodeOggVorbis, dir / "rates.ogg", dir / "out.wav").succeeded, 0);
    EXPECT_EQ(RunEngine(zelph::DecodeOggVorbis, dir / "channels.ogg", dir / "out.wav").succeeded, 0);
}

}  // namespace
}  // namespace zelph::test
