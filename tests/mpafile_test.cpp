#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "formats/mpafile.h"
#include "formats/vbrheader.h"
#include "tests/support/scratch.h"

namespace zelph::test {

namespace {

constexpr uint32_t kMpeg1L3At128 = 0xFFFB9000;  // 44100 Hz, stereo, 417 bytes
constexpr uint32_t kMpeg1L3Mono = 0xFFFB90C0;
constexpr uint32_t kMpeg2L3At64 = 0xFFF38000;   // 22050 Hz, 208 bytes
constexpr uint32_t kMpeg2L3Mono = 0xFFF380C0;

std::string BE(uint32_t v, int width = 4) {
    std::string out;
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
    return out;
}

// A frame of `length` bytes: the header word, then zeros (which never sync),
// with `body` written from byte `at` of the frame.
std::string Frame(uint32_t word, std::size_t length, const std::string& body = "", std::size_t at = 36) {
    std::string frame = BE(word) + std::string(length - 4, '\0');
    if (!body.empty()) frame.replace(at, body.size(), body);
    return frame;
}

std::string Frames(uint32_t word, std::size_t length, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += Frame(word, length);
    return out;
}

std::string Id3v2(std::size_t bodySize, uint8_t flags = 0) {
    std::string tag = std::string("ID3\x04\x00", 5) + static_cast<char>(flags);
    for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((bodySize >> shift) & 0x7F);
    return tag + std::string(bodySize, 'x') + ((flags & 0x10) ? "3DI" + std::string(7, '\0') : "");
}

std::string Xing(uint32_t flags, uint32_t frames, uint32_t bytes, const char* tag = "Xing") {
    std::string out = std::string(tag) + BE(flags);
    if (flags & 1) out += BE(frames);
    if (flags & 2) out += BE(bytes);
    if (flags & 4) out += std::string(100, '\x07');
    if (flags & 8) out += BE(57);
    return out;
}

std::string Vbri(uint32_t frames, uint32_t bytes, uint16_t count, uint16_t entrySize) {
    return "VBRI" + BE(1, 2) + BE(576, 2) + BE(75, 2) + BE(bytes) + BE(frames) + BE(count, 2) + BE(1, 2) +
           BE(entrySize, 2) + BE(10, 2) + std::string(std::size_t{count + 1u} * entrySize, '\x01');
}

struct Probe {
    ScratchDir dir;
    std::string path = dir / "in.mp3";
    // Runs `check` on the file of `bytes` (on no file without them); the
    // exception code when it throws.
    int Run(const std::optional<std::string>& bytes, const std::function<void(CMPAFile&)>& check = {}) {
        if (bytes) WriteFile(path, *bytes);
        try {
            CMPAFile file(path, 0, nullptr);
            if (check) check(file);
            return -1;
        } catch (const CMPAException& e) {
            return e.code();
        }
    }
};

}  // namespace

TEST(MpaFile, FrameSearchSubsequentFrameToleranceAndAMissingFile) {
    Probe p;
    EXPECT_EQ(p.Run(Frames(kMpeg1L3At128, 417, 2), [](CMPAFile& f) {
        EXPECT_EQ(f.frame().offset, 0u);
        EXPECT_EQ(f.frame().distanceToNextFrame, 417u);
        EXPECT_FALSE(f.isVBR());
        EXPECT_EQ(f.bytesPerSecond(), 16000u);
        EXPECT_EQ(f.end(), 834u);
    }), -1);
    // Two bytes late is within tolerance; four bytes late is not.
    EXPECT_EQ(p.Run(Frame(kMpeg1L3At128, 419) + Frame(kMpeg1L3At128, 417),
                    [](CMPAFile& f) { EXPECT_EQ(f.frame().distanceToNextFrame, 419u); }), -1);
    EXPECT_EQ(p.Run(Frame(kMpeg1L3At128, 421) + Frames(kMpeg1L3At128, 417, 2),
                    [](CMPAFile& f) { EXPECT_EQ(f.frame().offset, 421u); }), -1);
    // A lone frame has no successor while the end of the data is unknown.
    EXPECT_EQ(p.Run(Frame(kMpeg1L3At128, 417)), CMPAException::kNoFrame);
    EXPECT_EQ(p.Run(""), CMPAException::kNoFrame);
    EXPECT_EQ(Probe().Run(std::nullopt), CMPAException::kOpenFile);
}

TEST(MpaFile, HeaderFieldsAndRejectedHeaders) {
    Probe p;
    // Padding adds one byte in Layer III; Layer I at 32 kbit/s is 34 bytes.
    EXPECT_EQ(p.Run(Frames(0xFFFB9200, 418, 3), [](CMPAFile& f) {
        EXPECT_EQ(f.frame().frameLength, 418u);
        EXPECT_EQ(f.frame().paddingSize, 1u);
    }), -1);
    EXPECT_EQ(p.Run(Frames(0xFFFF1000, 34, 3), [](CMPAFile& f) {
        EXPECT_EQ(f.frame().layer, 0u);
        EXPECT_EQ(f.frame().samplesPerFrame, 384u);
        EXPECT_EQ(f.frame().distanceToNextFrame, 34u);
    }), -1);
    EXPECT_EQ(p.Run(Frames(0xFFE38000, 417, 2), [](CMPAFile& f) {
        EXPECT_EQ(f.frame().version, 0u);
        EXPECT_EQ(f.frame().samplingRate, 11025u);
        EXPECT_EQ(f.frame().frameLength, 417u);
    }), -1);
    EXPECT_EQ(p.Run(Frames(kMpeg1L3At128 | 3, 417, 2),
                    [](CMPAFile& f) { EXPECT_EQ(f.frame().emphasis, 3u); }), -1);
    // Reserved emphasis, free format, reserved version, bitrate index 15, rate index 3.
    for (uint32_t word : {kMpeg1L3At128 | 2, 0xFFFB0000u, 0xFFEB9000u, 0xFFFBF000u, 0xFFFB9C00u})
        EXPECT_EQ(p.Run(Frames(word, 417, 3)), CMPAException::kNoFrame) << std::hex << word;
}

TEST(MpaFile, SearchRangeAndId3v2Tags) {
    Probe p;
    EXPECT_EQ(p.Run(std::string(16384, '\0') + Frames(kMpeg1L3At128, 417, 2),
                    [](CMPAFile& f) { EXPECT_EQ(f.frame().offset, 16384u); }), -1);
    EXPECT_EQ(p.Run(std::string(16385, '\0') + Frames(kMpeg1L3At128, 417, 2)), CMPAException::kNoFrame);

    // Tags (cover art makes them long) are stepped over before the search.
    const std::string tags = Id3v2(300000) + Id3v2(20000, 0x10);
    EXPECT_EQ(p.Run(tags + std::string(1000, '\0') + Frames(kMpeg1L3At128, 417, 2), [&](CMPAFile& f) {
        EXPECT_EQ(f.begin(), tags.size());
        EXPECT_EQ(f.frame().offset, 1000u);
    }), -1);
    EXPECT_EQ(p.Run(Id3v2(300000).substr(0, 200000)), CMPAException::kNoFrame);
    // The search range counts from the end of the tags.
    EXPECT_EQ(p.Run(tags + std::string(16385, '\0') + Frames(kMpeg1L3At128, 417, 2)), CMPAException::kNoFrame);
}

TEST(MpaFile, XingAndInfoHeaders) {
    Probe p;
    const auto vbrFile = [](uint32_t word, std::size_t length, const std::string& header, std::size_t at) {
        return Frame(word, length, header, at) + Frames(word, length, 2);
    };
    EXPECT_EQ(p.Run(vbrFile(kMpeg1L3At128, 417, Xing(0x0F, 1000, 4000000), 36), [](CMPAFile& f) {
        ASSERT_TRUE(f.vbrHeader());
        EXPECT_TRUE(f.isVBR());
        EXPECT_EQ(f.vbrHeader()->seconds(), 26u);
        EXPECT_EQ(f.bytesPerSecond(), 153846u);
        EXPECT_EQ(f.end(), 4000000u);
        EXPECT_EQ(f.vbrHeader()->seekTable().size(), 100u);
        EXPECT_EQ(f.vbrHeader()->quality(), 57);
    }), -1);
    EXPECT_EQ(p.Run(vbrFile(kMpeg1L3At128, 417, Xing(0x03, 1000, 4000000, "Info"), 36),
                    [](CMPAFile& f) { EXPECT_EQ(f.vbrHeader()->quality(), -1); }), -1);
    // Frames only: the header is dropped, the first frame's bitrate stands.
    EXPECT_EQ(p.Run(vbrFile(kMpeg1L3At128, 417, Xing(0x01, 1000, 0), 36), [](CMPAFile& f) {
        EXPECT_FALSE(f.isVBR());
        EXPECT_EQ(f.bytesPerSecond(), 16000u);
    }), -1);
    // Where the tag stands depends on the version and channel mode; 1000
    // frames last 26 s in each (1152 samples at 44.1 kHz, 576 at 22.05 kHz).
    for (auto [word, length, at] : {std::tuple{kMpeg1L3Mono, 417, 21}, {kMpeg2L3At64, 208, 21}, {kMpeg2L3Mono, 208, 13}}) {
        EXPECT_EQ(p.Run(vbrFile(word, length, Xing(0x03, 1000, 900000), at), [](CMPAFile& f) {
            EXPECT_TRUE(f.isVBR());
            EXPECT_EQ(f.vbrHeader()->seconds(), 26u);
        }), -1);
        EXPECT_EQ(p.Run(vbrFile(word, length, Xing(0x03, 1000, 900000), 36),
                        [](CMPAFile& f) { EXPECT_FALSE(f.isVBR()); }), -1);
    }
    // Stated frames lasting less than a second give no average rate.
    EXPECT_EQ(p.Run(vbrFile(kMpeg1L3At128, 417, Xing(0x03, 10, 4170), 36)), CMPAException::kIncompleteVBRHeader);
    // A header cut by the end of the file is no header.
    EXPECT_EQ(p.Run(Frames(kMpeg1L3At128, 417, 2) + Frame(kMpeg1L3At128, 417).substr(0, 44) + Xing(0x0F, 1000, 9),
                    [](CMPAFile& f) { EXPECT_FALSE(f.isVBR()); }), -1);
}

TEST(MpaFile, VbriHeaders) {
    Probe p;
    const auto vbriFile = [](uint32_t word, const std::string& header) {
        return Frame(word, 417, header) + Frames(word, 417, 2);
    };
    EXPECT_EQ(p.Run(vbriFile(kMpeg1L3Mono, Vbri(2000, 800000, 9, 2)), [](CMPAFile& f) {
        ASSERT_TRUE(f.vbrHeader());
        EXPECT_EQ(f.vbrHeader()->kind(), CVBRHeader::kVBRI);
        EXPECT_EQ(f.vbrHeader()->seekTable(), std::vector<uint32_t>(10, 0x0101));
        EXPECT_EQ(f.vbrHeader()->delay(), 576.0f);
        EXPECT_EQ(f.bytesPerSecond(), 800000u / 52);
    }), -1);
    // Entry widths past 32 bits, and tables longer than the file, are refused
    // before anything is allocated.
    EXPECT_EQ(p.Run(vbriFile(kMpeg1L3At128, Vbri(2000, 800000, 9, 5)),
                    [](CMPAFile& f) { EXPECT_FALSE(f.isVBR()); }), -1);
    EXPECT_EQ(p.Run(vbriFile(kMpeg1L3At128, Vbri(2000, 800000, 0, 4).substr(0, 18) + BE(0xFFFF, 2) + BE(1, 2) +
                                                BE(4, 2) + BE(1, 2)),
                    [](CMPAFile& f) { EXPECT_FALSE(f.isVBR()); }), -1);
}

TEST(MpaFile, LameXingHeaderAgreesWithFfprobe) {
    ScratchDir dir;
    const std::string mp3 = dir / "vbr.mp3";
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 " + dir / "a.wav" + " synth 5 sine 300 && lame -S -V 3 " +
                         dir / "a.wav " + mp3 + " 2>/dev/null").status, 0);
    const std::string counted = RunCommand(
        "ffprobe -v error -count_frames -select_streams a -show_entries stream=nb_read_frames -of csv=p=0 " + mp3).out;
    CMPAFile file(mp3, 0, nullptr);
    ASSERT_TRUE(file.isVBR());
    EXPECT_EQ(file.vbrHeader()->frames(), std::stoul(counted));
    EXPECT_EQ(file.end(), ReadFile(mp3).size());
    EXPECT_EQ(file.bytesPerSecond(), file.vbrHeader()->bytes() / (file.vbrHeader()->frames() * 1152 / 44100));
}

}  // namespace zelph::test
