// AAC and ALAC in M4A through the command-line program, judged by FFmpeg:
// ALAC decodes bit for bit; AAC starts at the source's first sample and
// states its exact length (edit list and iTunSMPB), and decodes to that
// length or to the end of its last frame; both carry the tags and the cover.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

namespace zelph::test {
namespace {

// A WAV form sox makes: sweeps, so that a shifted decode cannot line up.
constexpr const char* kForms[] = {"-r 44100 -c 2 -b 16", "-r 96000 -c 1 -b 24"};

std::string Probe(const std::string& entries, const std::string& path) {
    std::string out = RunCommand("ffprobe -v error " + entries + " -of csv=p=0 " + path).out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// What FFmpeg decodes, as 16-bit mono.
std::vector<int16_t> MonoPcm(const std::string& path) {
    const std::string bytes = RunCommand("ffmpeg -v error -i " + path + " -ac 1 -f s16le -").out;
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

// The shift of `decoded` against `source` (within an AAC frame either way)
// at which their openings match best.
int BestLag(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded) {
    constexpr int kSpan = 8192, kMost = 1024;
    int best = kMost + 1;
    double bestSum = 0;
    for (int lag = -kMost; lag <= kMost; ++lag) {
        double sum = 0;
        for (int i = kMost; i < kSpan; ++i) sum += static_cast<double>(source[i]) * decoded[i + lag];
        if (sum > bestSum) bestSum = sum, best = lag;
    }
    return best;
}

}  // namespace

TEST(M4aTargets, AlacBitExactAacGaplessBothWithTagsAndCover) {
    ScratchDir dir;
    const std::string cover = dir / "cover.png";
    ASSERT_EQ(RunCommand("ffmpeg -v error -f lavfi -i color=red:s=16x16 -frames:v 1 " + cover).status, 0);
    for (const char* form : kForms) {
        SCOPED_TRACE(form);
        const std::string wav = dir / "in.wav", source = dir / "in.flac";
        ASSERT_EQ(RunCommand(std::string("sox -n ") + form + " " + wav + " synth 0.9 sine 200-5000 vol 0.5 && flac -s -f " +
                             wav + " -T TITLE=Zelph --picture=" + cover + " -o " + source)
                      .status,
                  0);
        const long frames = std::stol(RunCommand("soxi -s " + wav).out);
        for (const char* target : {"aac", "alac"}) {
            SCOPED_TRACE(target);
            const std::string out = dir / target, m4a = out + "/in.m4a";
            EXPECT_EQ(ConvertAll(std::string(target) + " --verify", out, source), "Done\t" + source + "\n");
            EXPECT_EQ(Probe("-show_entries format_tags=title", m4a), "Zelph");
            EXPECT_EQ(Probe("-select_streams v -show_entries stream=codec_name", m4a), "png");
            EXPECT_EQ(Probe("-select_streams a -show_entries stream=codec_name,duration_ts", m4a),
                      std::string(target) + "," + std::to_string(frames));
            if (std::string(target) == "alac") {
                EXPECT_EQ(DecodedDigest(FfmpegS32(m4a)), DecodedDigest(FfmpegS32(source)));
                continue;
            }
            unsigned delay = 0, padding = 0;
            unsigned long long length = 0;
            const std::string smpb = Probe("-show_entries format_tags=iTunSMPB", m4a);
            ASSERT_EQ(std::sscanf(smpb.c_str(), " %*x %x %x %llx", &delay, &padding, &length), 3) << smpb;
            EXPECT_EQ(delay, 1024u);
            EXPECT_EQ(length, static_cast<unsigned long long>(frames));
            EXPECT_EQ((delay + padding + length) % 1024, 0u) << "whole frames";
            const std::vector<int16_t> decoded = MonoPcm(m4a);
            EXPECT_TRUE(decoded.size() == length || decoded.size() == length + padding) << decoded.size();
            EXPECT_EQ(BestLag(MonoPcm(source), decoded), 0);
        }
    }
}

}  // namespace zelph::test
