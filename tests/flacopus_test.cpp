// The FLAC and Opus decoders on files made by flac and opusenc at test time,
// judged against `flac -d` and opusdec decoding the same files, and both
// formats without their library (tests/matrix_test.cpp takes both through
// every target).

#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "codecs/flacdecoder.h"
#include "codecs/opusdecoder.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

std::string Tones(const ScratchDir& dir, const std::string& name, int rate, int channels, int bits, double seconds) {
    std::string synth = " synth " + std::to_string(seconds);
    for (int c = 0; c < channels; ++c) synth += " sine " + std::to_string(300 + 200 * c);
    RunCommand("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " + std::to_string(bits) +
               " " + dir / name + synth + " vol 0.4");
    return dir / name;
}

std::string OpusOf(const ScratchDir& dir, const std::string& wav, const std::string& name, const std::string& options = "") {
    RunCommand("opusenc --quiet " + options + " " + wav + " " + dir / name);
    return dir / name;
}

// In a file that starts with "fLaC": the MD5 of the audio stands at bytes 26-41.
constexpr std::size_t kMd5At = 26, kMd5Size = 16;

// A good file with 64 bytes in its middle inverted, and cut at three fifths.
std::vector<std::pair<std::string, std::string>> Damaged(const std::string& good) {
    std::string flipped = good;
    for (std::size_t at = good.size() / 2; at < good.size() / 2 + 64; ++at) flipped[at] = static_cast<char>(~flipped[at]);
    return {{"flipped", flipped}, {"cut", good.substr(0, good.size() * 3 / 5)}, {"no audio", std::string(20000, 'x')}};
}

// Each case fails with its reason.
void ExpectFailures(EngineProc engine, const ScratchDir& dir, const std::vector<std::pair<std::string, std::string>>& cases,
                    const std::vector<std::string>& reasons) {
    ASSERT_EQ(cases.size(), reasons.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        WriteFile(dir / "bad", cases[i].second);
        const auto job = RunEngine(engine, dir / "bad", dir / "out.wav");
        ExpectEnded(job, false);
        EXPECT_EQ(job.reason, reasons[i]);
    }
}

TEST(DecodeFlac, SameSamplesAsFlacDecodingItself) {
    // Bits, channels, in Ogg, with an MD5.
    const std::tuple<int, int, bool, bool> cases[] = {
        {16, 2, false, true}, {16, 1, false, false}, {24, 2, false, true}, {24, 6, false, true},
        {16, 6, false, false}, {24, 1, true, true}, {16, 2, true, true}};
    for (const auto& [bits, channels, ogg, md5] : cases) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels" << (ogg ? ", Ogg" : "")
                                        << (md5 ? "" : ", no MD5"));
        ScratchDir dir;
        const std::string wav = Tones(dir, "in.wav", 48000, channels, bits, 1.5);
        const std::string flac = dir / (ogg ? "a.oga" : "a.flac");
        ASSERT_EQ(RunCommand("flac -s -f " + std::string(ogg ? "--ogg " : "") + wav + " -o " + flac).status, 0);
        if (!md5) {
            std::string bytes = ReadFile(flac);
            bytes.replace(kMd5At, kMd5Size, kMd5Size, '\0');  // how a stream without a checksum says so
            WriteFile(flac, bytes);
        }
        ExpectEnded(RunEngine(DecodeFlac, flac, dir / "out.wav"), true);

        ASSERT_EQ(RunCommand("flac -s -d -f --force-raw-format --endian=little --sign=signed " + flac + " -o " +
                             dir / "ref.raw").status, 0);
        const std::string out = ReadFile(dir / "out.wav"), ref = ReadFile(dir / "ref.raw");
        const WaveHeader h = HeaderOf(out);
        EXPECT_EQ(h.formatTag, 1);
        EXPECT_EQ(h.channels, channels);
        EXPECT_EQ(h.bitsPerSample, bits);
        EXPECT_EQ(h.sampleRate, 48000u);
        EXPECT_EQ(h.dataSize, ref.size());
        EXPECT_EQ(ref.size(), 72000u * channels * bits / 8) << "sample-exact length";
        EXPECT_TRUE(out.substr(44) == ref);
    }
}

TEST(DecodeFlacAndOpus, DamagedOrMisSummedStreamsFail) {
    ScratchDir dir;
    ASSERT_EQ(RunCommand("flac -s -f " + Tones(dir, "in.wav", 44100, 2, 16, 3.0) + " -o " + dir / "a.flac").status, 0);
    const std::string good = ReadFile(dir / "a.flac");

    std::string misSummed = good;
    misSummed[kMd5At + 3] ^= 0x5A;
    // A cut file ends early rather than failing (tests/endsearly_test.cpp).
    auto cases = Damaged(good);
    cases.erase(cases.begin() + 1);
    cases.push_back({"wrong MD5", misSummed});
    cases.push_back({"cut in its metadata", good.substr(0, 8192)});
    ExpectFailures(DecodeFlac, dir, cases, {"damaged FLAC stream", "no FLAC stream",
                                            "FLAC audio does not match its MD5", "no FLAC audio"});

    const std::string opus = ReadFile(OpusOf(dir, Tones(dir, "in.wav", 48000, 2, 16, 3.0), "a.opus"));
    ExpectFailures(DecodeOpus, dir, Damaged(opus), {"damaged Opus stream", "Opus stream cut short", "no Opus stream"});
}

// opusdec's float decode of the same file at the decoder's own rate, as 16-bit steps.
std::vector<float> OpusdecSteps(const ScratchDir& dir, const std::string& opus) {
    RunCommand("opusdec --quiet --rate 48000 --float " + opus + " " + dir / "ref.wav && sox " + dir / "ref.wav -t raw -e floating-point -b 32 " +
               dir / "ref.f32");
    const std::string bytes = ReadFile(dir / "ref.f32");
    std::vector<float> steps(bytes.size() / 4);
    std::memcpy(steps.data(), bytes.data(), steps.size() * 4);
    for (float& s : steps) s *= 32768.0f;
    return steps;
}

TEST(DecodeOpus, SameLengthAndSamplesAsOpusdec) {
    // The source's rate, channels and seconds, and opusenc's options. 44.1 kHz
    // sources are resampled by the encoder; the decode keeps 48 kHz. Each of
    // six channels holds its own tone, in WAV order as opusdec writes it.
    const std::tuple<int, int, double, const char*> cases[] = {{48000, 1, 1.0, ""},
                                                               {44100, 2, 1.0, "--bitrate 96"},
                                                               {48000, 1, 600.0, "--comp 0 --bitrate 24"},
                                                               {48000, 6, 1.0, ""}};
    for (const auto& [rate, channels, seconds, options] : cases) {
        SCOPED_TRACE(testing::Message() << channels << " channels, " << seconds << " s");
        ScratchDir dir;
        const std::string opus = OpusOf(dir, Tones(dir, "in.wav", rate, channels, 16, seconds), "a.opus", options);
        ExpectEnded(RunEngine(DecodeOpus, opus, dir / "out.wav"), true);
        const PcmWav out = ReadPcmWav(dir / "out.wav");
        EXPECT_TRUE(out.honest);
        EXPECT_EQ(out.rate, 48000);
        EXPECT_EQ(out.channels, channels);
        const std::vector<float> ref = OpusdecSteps(dir, opus);
        ASSERT_EQ(out.pcm.size(), ref.size()) << "pre-skip and end trimming";
        EXPECT_EQ(out.frames(), static_cast<std::size_t>(std::llround(seconds * 48000))) << "the encoded length";
        // libopusfile's 16-bit samples carry noise-shaped dither, which
        // strays up to about 15 steps from the float decode (opusdec's own
        // 16-bit output strays as far); a sample off by one place would
        // be hundreds of steps away.
        double worst = 0, squares = 0;
        for (std::size_t i = 0; i < ref.size(); ++i) {
            const double error = out.pcm[i] - double{ref[i]};
            worst = std::max(worst, std::abs(error));
            squares += error * error;
        }
        EXPECT_LE(worst, 20.0);
        EXPECT_LE(std::sqrt(squares / static_cast<double>(ref.size())), 8.0);
    }
}

TEST(FlacAndOpusSources, AMissingLibraryFailsOnlyItsJob) {
    // Without FLAC.so the FLAC files fail; the Opus file still converts.
    ScratchDir dir;
    const std::string flac = dir / "hi.flac";
    ASSERT_EQ(RunCommand("flac -s -f " + Tones(dir, "in24.wav", 96000, 2, 24, 0.5) + " -o " + flac).status, 0);
    const std::string opus = OpusOf(dir, Tones(dir, "in16.wav", 48000, 2, 16, 0.5), "op.opus");
    const std::string program = ConverterWithPlugins(dir / "bare", {{"OpusFile.so", "OpusFile.so"}, {"Opus.so", "Opus.so"}});
    RunCommand("rm -rf " + dir / "out && mkdir " + dir / "out");
    const auto result =
        RunCommand(program + " --quiet --jobs 1 --target wav --output-dir " + dir / "out/ " + flac + " " + opus);
    EXPECT_EQ(result.out, "Error Occured\t" + flac + "\tPlugins/FLAC.so is missing\nDone\t" + opus + "\n");
}

TEST(WavStage, ASourceInFormReachesTheEncoderAsItStands) {
    // A 16-bit stereo WAV with a LIST chunk before its audio is handed to the
    // encoders that only read audio, not copied; a FLAC of the same samples
    // goes through the decoder's canonical WAV, which is itself the output of
    // a WAV target. Both give the same output (the same bytes where the format
    // has no random stream serial), the WAV keeps its one name, and the output
    // folder holds the outputs alone.
    ScratchDir dir;
    const std::string tones = Tones(dir, "tones.wav", 44100, 2, 16, 1.0);
    const std::string flac = dir / "b.flac", wav = dir / "a.wav";
    ASSERT_EQ(RunCommand("flac -s -f " + tones + " -o " + flac + " && ffmpeg -v error -i " + flac + " " + wav).status, 0);
    ASSERT_NE(ReadFile(wav).find("LIST"), std::string::npos);
    const auto decoded = [&](const std::string& path) {
        RunCommand("ffmpeg -v error -y -i " + path + " -f s16le " + path + ".pcm");
        return ReadFile(path + ".pcm");
    };
    for (const char* target : {"wav", "lame", "blade", "gogo", "ogg", "opus"}) {
        SCOPED_TRACE(target);
        const std::string out = dir / "out";
        RunCommand("rm -rf " + out + " && mkdir " + out);
        EXPECT_EQ(RunCommand(BinDir() + "/zelph-convert --quiet --no-tags --jobs 1 --target " + target +
                             " --output-dir " + out + "/ " + wav + " " + flac).out,
                  "Done\t" + wav + "\nDone\t" + flac + "\n");
        const std::string extension =
            std::string(".") + (target[0] == 'o' || target[0] == 'w' ? target : "mp3");
        const std::string fromWav = out + "/a" + extension, fromFlac = out + "/b" + extension;
        EXPECT_EQ(RunCommand("ls " + out).out, "a" + extension + "\nb" + extension + "\n");
        if (extension == ".mp3" || extension == ".wav") {
            EXPECT_TRUE(ReadFile(fromWav) == ReadFile(fromFlac)) << "the outputs differ";
        }
        const std::string audio = decoded(fromWav);
        EXPECT_GT(audio.size(), 100000u);
        EXPECT_TRUE(audio == decoded(fromFlac)) << "the decoded outputs differ";
        EXPECT_EQ(std::filesystem::hard_link_count(wav), 1u);
    }
}

}  // namespace
}  // namespace zelph::test
