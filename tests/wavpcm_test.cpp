#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include "codecs/wavpcmengine.h"
#include "formats/waveheader.h"
#include "settings/settings.h"
#include "tests/support/enginecheck.h"
#include "tests/support/scratch.h"

using namespace zelph;
using namespace zelph::test;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

std::string Wav(uint16_t channels, uint16_t bits, const std::string& data, const std::string& trailer = "") {
    return CraftedWav(channels, 8000, bits, data, trailer);
}

EngineResult Convert(const std::string& source, const std::string& target, const WavPcmSettings* form,
                     RunOptions options = {}) {
    return RunEngine(EncodeWavPcm, source, target, form ? EngineSettings(form) : EngineSettings(), options);
}

std::string Noise(std::size_t count, uint32_t seed) {
    std::string out(count, '\0');
    for (char& c : out) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return out;
}

}  // namespace

TEST(WavPcmEngine, EverySourceFormToEveryTargetForm) {
    struct Source {
        uint16_t channels, bits;
        std::string data;
        std::string expected[4];  // mono 8, mono 16, stereo 8, stereo 16
    };
    const Source sources[] = {
        {1, 8, Bytes({0x80, 0xFF, 0x00}),
         {Bytes({0x80, 0xFF, 0x00}), Bytes({0, 0, 0, 0x7F, 0, 0x80}), Bytes({0x80, 0x80, 0xFF, 0xFF, 0, 0}),
          Bytes({0, 0, 0, 0, 0, 0x7F, 0, 0x7F, 0, 0x80, 0, 0x80})}},
        {2, 8, Bytes({0x90, 0x10}),
         {Bytes({0x90}), Bytes({0, 0x10}), Bytes({0x90, 0x10}), Bytes({0, 0x10, 0, 0x90})}},
        {1, 16, Bytes({0x34, 0x12, 0xFE, 0xFF}),
         {Bytes({0x92, 0x7F}), Bytes({0x34, 0x12, 0xFE, 0xFF}), Bytes({0x92, 0x92, 0x7F, 0x7F}),
          Bytes({0x34, 0x12, 0x34, 0x12, 0xFE, 0xFF, 0xFE, 0xFF})}},
        {2, 16, Bytes({0x34, 0x12, 0x78, 0x56}),
         {Bytes({0x92}), Bytes({0x34, 0x12}), Bytes({0x92, 0xD6}), Bytes({0x34, 0x12, 0x78, 0x56})}},
    };
    WavPcmSettings targets[] = {WavForm(1, 1), WavForm(1, 2), WavForm(2, 1), WavForm(2, 2)};
    ScratchDir dir;
    for (const Source& s : sources) {
        WriteFile(dir / "in.wav", Wav(s.channels, s.bits, s.data, std::string("id3 \x04\0\0\0abcd", 12)));
        for (int t = 0; t < 4; ++t) {
            SCOPED_TRACE(std::to_string(s.channels) + "ch " + std::to_string(s.bits) + "bit -> " + std::to_string(t));
            ExpectEnded(Convert(dir / "in.wav", dir / "out.wav", &targets[t]), true);
            // The canonical header of the form, and the trailing tag chunk is not audio.
            const auto channels = static_cast<uint16_t>(targets[t].channelMode);
            const auto bits = static_cast<uint16_t>(static_cast<int>(targets[t].sampleSizeMode) * 8);
            EXPECT_EQ(ReadFile(dir / "out.wav"), Wav(channels, bits, s.expected[t]));
        }
    }
}

TEST(WavPcmEngine, HeldFilesFail) {
    ScratchDir dir;
    WriteFile(dir / "in.wav", Wav(1, 16, Noise(2000, 3)));
    // A source or target another open holds counts as in use; a held target
    // keeps what it had.
    WriteFile(dir / "held.wav", "keep");
    const int other = ::open((dir / "held.wav").c_str(), O_RDONLY);
    ::flock(other, LOCK_EX);
    EXPECT_FALSE(Convert(dir / "in.wav", dir / "held.wav", nullptr).succeeded);
    EXPECT_FALSE(Convert(dir / "held.wav", dir / "out.wav", nullptr).succeeded);
    ::close(other);
    EXPECT_EQ(ReadFile(dir / "held.wav"), "keep");
}

TEST(WavPcmEngine, ExtensibleAndStreamedSources) {
    ScratchDir dir;
    // 16-bit stereo in the extensible form converts like plain PCM.
    const std::string guid("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    std::string fmt = Wav(2, 16, "").substr(20, 16);
    fmt[0] = '\xFE', fmt[1] = '\xFF';
    WriteFile(dir / "ext.wav", "RIFF" + Bytes({0x44, 0, 0, 0}) + "WAVEfmt " + Bytes({40, 0, 0, 0}) + fmt +
                                   Bytes({22, 0, 16, 0, 3, 0, 0, 0}) + guid + "data" +
                                   Bytes({4, 0, 0, 0, 0x34, 0x12, 0x78, 0x56}));
    WavPcmSettings mono16 = WavForm(1, 2);
    EXPECT_TRUE(Convert(dir / "ext.wav", dir / "out.wav", &mono16).succeeded);
    EXPECT_EQ(ReadFile(dir / "out.wav"), Wav(1, 16, Bytes({0x34, 0x12})));

    // A streamed file's size (0xFFFFFFFF) means up to the end of the file.
    std::string streamed = Wav(1, 8, Bytes({0x10, 0x20, 0x30}));
    streamed.replace(40, 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    WriteFile(dir / "streamed.wav", streamed);
    WavPcmSettings mono8 = WavForm(1, 1);
    EXPECT_TRUE(Convert(dir / "streamed.wav", dir / "out.wav", &mono8).succeeded);
    EXPECT_EQ(ReadFile(dir / "out.wav"), Wav(1, 8, Bytes({0x10, 0x20, 0x30})));
}

TEST(WavPcmEngine, ATruncatedSourceConvertsWhatItHoldsAndSaysSo) {
    ScratchDir dir;
    WriteFile(dir / "in.wav", Wav(2, 16, Noise(40000, 7)).substr(0, 44 + 10003));  // 1.25 s at 8 kHz, cut
    WavPcmSettings stereo16 = WavForm(2, 2);  // copied as it is, never linked: its header would lie
    const EngineResult cut = Convert(dir / "in.wav", dir / "out.wav", &stereo16, {.mayLinkSource = true});
    EXPECT_EQ(cut.reason, "source ends early: 0.31 of 1.25 s");
    EXPECT_EQ(ReadFile(dir / "out.wav"), Wav(2, 16, ReadFile(dir / "in.wav").substr(44, 10000)));
}

TEST(WavPcmEngine, InPlaceReplacesTheSourceOnlyWhenComplete) {
    ScratchDir dir;
    const std::string temp = dir / "Temp-QOR-File";
    WriteFile(temp, Wav(1, 8, Bytes({0x80, 0x81})));
    EXPECT_TRUE(Convert(temp, "", nullptr).succeeded);
    EXPECT_EQ(ReadFile(temp).substr(44), Bytes({0, 0, 0, 0, 0, 1, 0, 1}));
    EXPECT_EQ(FilesIn(dir.path()).size(), 1u) << "nothing but the file itself";

    const std::string unusable = Wav(9, 16, std::string(36, '\0'));
    WriteFile(temp, unusable);
    EXPECT_FALSE(Convert(temp, "", nullptr).succeeded);
    EXPECT_EQ(ReadFile(temp), unusable);
    EXPECT_EQ(FilesIn(dir.path()).size(), 1u) << "nothing but the file itself";

    // Stopped, or cut short by a full disk, after part of the output was
    // written: the partial file goes, the source stays.
    const std::string original = Wav(1, 8, Noise(20000, 6));
    WriteFile(temp, original);
    EXPECT_FALSE(Convert(temp, "", nullptr, {.stop = true}).succeeded);
    EXPECT_TRUE(ReadFile(temp) == original);
    EXPECT_EQ(FilesIn(dir.path()).size(), 1u) << "nothing but the file itself";
    auto full = WithFileSizeLimit(40000, [&] { return Convert(temp, "", nullptr); });
    EXPECT_FALSE(full.succeeded);
    EXPECT_TRUE(ReadFile(temp) == original);
    EXPECT_EQ(FilesIn(dir.path()).size(), 1u) << "nothing but the file itself";

    // A file already in the wanted form is left as it is: not even rewritten.
    const std::string ready = Wav(2, 16, Noise(40000, 7));
    WriteFile(temp, ready);
    struct stat before, after;
    ASSERT_EQ(::stat(temp.c_str(), &before), 0);
    const EngineResult kept = Convert(temp, "", nullptr, {.progressStart = 30, .progressSpan = 10});
    ASSERT_EQ(::stat(temp.c_str(), &after), 0);
    EXPECT_TRUE(kept.succeeded);
    EXPECT_EQ(kept.progress, 40);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_TRUE(ReadFile(temp) == ready);
}

TEST(WavPcmEngine, ASourceInFormIsLinkedOnlyWhereTheJobAllowsIt) {
    ScratchDir dir;
    const std::string ready = dir / "ready.wav", mono = dir / "mono.wav", temp = dir / "temp";
    WriteFile(ready, Wav(2, 16, Noise(40000, 8)));
    WriteFile(mono, Wav(1, 16, Noise(40000, 9)));
    const auto inode = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    for (bool mayLink : {false, true}) {
        SCOPED_TRACE(mayLink ? "may link" : "may not link");
        // The runner has made the target already, exclusively. No parameters: 16-bit stereo.
        WriteFile(temp, "");
        const EngineResult copied =
            Convert(ready, temp, nullptr, {.progressStart = 30, .progressSpan = 10, .mayLinkSource = mayLink});
        EXPECT_TRUE(copied.succeeded);
        EXPECT_EQ(copied.progress, 40) << "the bar stays in the job's step";
        EXPECT_EQ(inode(temp) == inode(ready), mayLink);
        EXPECT_TRUE(ReadFile(temp).substr(44) == ReadFile(ready).substr(44));
        // A linked target is never written through: the source stays whole.
        const EngineResult through = Convert(mono, temp, nullptr, {.progressSpan = 10, .mayLinkSource = mayLink});
        EXPECT_EQ(through.succeeded == 1, !mayLink);
        if (mayLink) { EXPECT_EQ(through.reason, "cannot write: the file has another name, which it would change too"); }
        EXPECT_EQ(HeaderOf(ReadFile(ready)).channels, 2);
        EXPECT_EQ(ReadFile(ready).size(), 44u + 40000u);
        // A source out of form is converted either way, never linked.
        ::unlink(temp.c_str());
        WriteFile(temp, "");
        EXPECT_TRUE(Convert(mono, temp, nullptr, {.progressSpan = 10, .mayLinkSource = mayLink}).succeeded);
        EXPECT_NE(inode(temp), inode(mono));
        EXPECT_EQ(HeaderOf(ReadFile(temp)).channels, 2);
        EXPECT_EQ(FilesIn(dir.path()).size(), 3u) << "nothing but the sources and the target";
    }
}

