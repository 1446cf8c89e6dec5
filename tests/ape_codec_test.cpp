#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "formats/bytereader.h"
#include "formats/waveheader.h"
#include "plugins/macdll/compressor.h"
#include "plugins/macdll/decompressor.h"
#include "plugins/macdll/macdll.h"
#include "plugins/macdll/nnfilter.h"
#include "tests/support/scratch.h"

using namespace zelph;
using namespace zelph::ape;
using Bytes = std::vector<uint8_t>;

namespace {

enum class Signal { Silence, Square, Noise, Sweep, Music, EqualChannels };

// Interleaved PCM as a WAV file holds it. Music is two partials with a
// little noise; EqualChannels is the same music in every channel.
Bytes MakePcm(Signal kind, std::size_t blocks, int channels, int bits) {
    std::mt19937 random(7);
    std::normal_distribution<double> hiss(0, 0.01);
    Bytes pcm;
    for (std::size_t i = 0; i < blocks; ++i) {
        const double t = double(i) / 44100, noise = hiss(random);
        for (int c = 0; c < channels; ++c) {
            double v = 0;  // in [-1, 1]
            switch (kind) {
                case Signal::Silence: break;
                case Signal::Square: v = ((i / 50 + c) % 2) ? 1.0 : -1.0; break;
                case Signal::Noise: v = std::uniform_real_distribution<double>(-1, 1)(random); break;
                case Signal::Sweep: v = 0.8 * std::sin(0.5 * i * i / double(blocks) + c); break;
                case Signal::Music:
                case Signal::EqualChannels: {
                    const int phase = kind == Signal::Music ? c : 0;
                    v = 0.3 * std::sin(2 * M_PI * 220 * t + phase) + 0.2 * std::sin(2 * M_PI * 331 * t) +
                        (phase ? hiss(random) : noise);
                    break;
                }
            }
            if (bits == 8) {
                pcm.push_back(static_cast<uint8_t>(std::clamp(128 + std::lround(v * 128), 0L, 255L)));
            } else {
                const auto s = static_cast<int16_t>(std::clamp(std::lround(v * 32768), -32768L, 32767L));
                pcm.push_back(static_cast<uint8_t>(s));
                pcm.push_back(static_cast<uint8_t>(s >> 8));
            }
        }
    }
    return pcm;
}

int Encode(const std::string& path, const StreamFormat& format, const Bytes& pcm, uint32_t blocksPerFrame = 0) {
    Compressor c;
    CompressOptions o;
    o.format = format;
    o.maxAudioBytes = static_cast<int64_t>(pcm.size());
    o.blocksPerFrame = blocksPerFrame;
    if (int e = c.Start(path, o)) return e;
    // Odd-sized pieces, so that blocks and frames straddle the calls.
    for (std::size_t at = 0; at < pcm.size(); at += 1001)
        if (int e = c.AddData(std::span(pcm).subspan(at, std::min<std::size_t>(1001, pcm.size() - at)))) return e;
    return c.Finish({}, 0);
}

struct Decoded {
    int createError = 0;
    int dataError = 0;
    Bytes pcm;
};

Decoded DecodeSource(std::unique_ptr<ByteSource> source) {
    Decoded r;
    auto d = Decompressor::Open(std::move(source), r.createError);
    if (!d) return r;
    const int align = static_cast<int>(d->Info(APE_INFO_BLOCK_ALIGN));
    Bytes buffer(std::size_t(align) * 1024);
    for (uint32_t got = 1; got > 0;) {
        if ((r.dataError = d->GetData(buffer.data(), 1024, got))) break;
        r.pcm.insert(r.pcm.end(), buffer.begin(), buffer.begin() + std::ptrdiff_t(got) * align);
    }
    return r;
}

Decoded DecodeFile(const std::string& path) { return DecodeSource(OpenFileSource(path)); }

Bytes ReadBytes(const std::string& path) {
    const std::string s = test::ReadFile(path);
    return Bytes(s.begin(), s.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

void WriteWav(const std::string& path, const StreamFormat& f, const Bytes& pcm) {
    const WaveHeader h = MakeWaveHeader(static_cast<uint16_t>(f.channels), 44100,
                                        static_cast<uint16_t>(f.bitsPerSample), static_cast<uint32_t>(pcm.size()));
    test::WriteFile(path, std::string(reinterpret_cast<const char*>(&h), sizeof h) + AsString(pcm));
}

// The Java decoder of the format reads frames one after the other, as many
// players do; it runs once per file (its command line takes one) and leaves
// a WAV file, whose audio must be ours exactly.
const std::string kJmac = "java -XX:TieredStopAtLevel=1 -XX:+UseSerialGC -XX:-UsePerfData -Xshare:auto -jar /usr/share/java/jmac.jar ";

std::string JmacDecode(const std::string& ape, const std::string& wav) {
    test::RunCommand(kJmac + "d " + ape + " " + wav + " >/dev/null 2>&1");
    const std::string out = test::Exists(wav) ? test::ReadFile(wav) : "";
    return out.size() >= 44 ? out.substr(44) : "(no WAV written)";
}

// FFmpeg checks every frame's CRC; any complaint lands in the output too.
std::string FfmpegDecode(const std::string& ape, int bits) {
    const char* format = bits == 8 ? "u8" : "s16le";
    return test::RunCommand("ffmpeg -v error -err_detect crccheck -i " + ape + " -f " + format + " -", true).out;
}

}  // namespace

// Every level × channel count × sample size: files of several frames (with a
// silent and an equal-channel frame amid the music), pure silence, and the
// lengths around a frame's end, decoded bit for bit by the Java decoder,
// which reads the frames as one stream, by FFmpeg, which finds each
// through the seek table, and by our own decoder. Frames are short here to keep the Java runs quick;
// the layout is the same at the levels' own frame sizes.
class Interop : public ::testing::TestWithParam<int> {};

TEST_P(Interop, JavaFfmpegAndOurDecoderReadOurFilesExactly) {
    const int level = GetParam();
    constexpr std::size_t kFrame = 4096;
    test::ScratchDir dir;
    for (auto [channels, bits] : {std::pair{1, 8}, std::pair{1, 16}, std::pair{2, 8}, std::pair{2, 16}}) {
        const StreamFormat format{channels, bits, level};
        auto make = [&](Signal s, std::size_t blocks) { return MakePcm(s, blocks, channels, bits); };
        const std::pair<const char*, Bytes> cases[] = {
            {"mixed", Join({make(Signal::Music, kFrame + kFrame / 2), make(Signal::Silence, kFrame + kFrame / 2),
                            make(Signal::EqualChannels, kFrame), make(Signal::Music, kFrame / 3)})},
            {"silence", make(Signal::Silence, 3 * kFrame)},
            {"one-block", make(Signal::Music, 1)},
            {"one-frame", make(Signal::Music, kFrame)},
            {"frame-plus-one", make(Signal::Music, kFrame + 1)},
            // The coder's extremes: full-scale steps, noise, a sweep over a frame's end.
            {"square", make(Signal::Square, 5000)},
            {"noise", make(Signal::Noise, 5000)},
            {"sweep", make(Signal::Sweep, 2 * kFrame + 77)},
        };
        for (const auto& [name, pcm] : cases) {
            const std::string base = dir / (std::string(name) + "-" + std::to_string(channels) + "-" +
                                            std::to_string(bits));
            ASSERT_EQ(Encode(base + ".ape", format, pcm, kFrame), 0);
            const std::string expected = AsString(pcm);
            const Decoded ours = DecodeFile(base + ".ape");
            EXPECT_EQ(std::pair(ours.createError, ours.dataError), std::pair(0, 0)) << base;
            EXPECT_TRUE(ours.pcm == pcm) << "our decoder, " << base << ", level " << level;
            EXPECT_TRUE(JmacDecode(base + ".ape", base + ".wav") == expected)
                << "Java decoder, " << base << ", level " << level;
            EXPECT_TRUE(FfmpegDecode(base + ".ape", bits) == expected) << "FFmpeg, " << base << ", level " << level;
        }
    }
}

// Files the Java encoder makes at the same level, longer than its own frame
// at the lower levels, read back bit for bit by our decoder.
TEST_P(Interop, OurDecoderReadsJavaMadeFiles) {
    const int level = GetParam();
    test::ScratchDir dir;
    for (auto [channels, bits] : {std::pair{1, 8}, std::pair{1, 16}, std::pair{2, 8}, std::pair{2, 16}}) {
        const StreamFormat format{channels, bits, level};
        const Bytes pcm = Join({MakePcm(Signal::Music, 60000, channels, bits), MakePcm(Signal::Silence, 20000, channels, bits)});
        const std::string base = dir / (std::to_string(channels) + "-" + std::to_string(bits));
        WriteWav(base + ".wav", format, pcm);
        test::RunCommand(kJmac + "c" + std::to_string(level) + " " + base + ".wav " + base + ".ape >/dev/null 2>&1");
        const Decoded out = DecodeFile(base + ".ape");
        EXPECT_EQ(std::pair(out.createError, out.dataError), std::pair(0, 0)) << base;
        EXPECT_TRUE(out.pcm == pcm) << base << ", level " << level;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLevel, Interop, ::testing::Values(1000, 2000, 3000, 4000, 5000));

// The levels' own frame sizes: a file one block longer than a frame ends in
// a one-block frame that both outside decoders reach. The Java decoder reads
// the Normal file only: the larger frames take it seconds each (the frame
// layout it checks is the same at every size).
TEST(ApeFrames, EachLevelUsesItsFrameSizeAndItsFilesDecodeOutside) {
    test::ScratchDir dir;
    const std::pair<int, uint32_t> levels[] = {
        {1000, 73728}, {2000, 73728}, {3000, 73728}, {4000, 294912}, {5000, 1179648}};
    for (auto [level, frameBlocks] : levels) {
        const std::string ape = dir / (std::to_string(level) + ".ape");
        const Bytes pcm = MakePcm(Signal::Music, frameBlocks + 1, 2, 16);
        ASSERT_EQ(Encode(ape, {2, 16, level}, pcm), 0);
        int error = 0;
        const auto d = Decompressor::Open(OpenFileSource(ape), error);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Info(APE_INFO_BLOCKS_PER_FRAME), frameBlocks) << level;
        EXPECT_EQ(d->Info(APE_INFO_TOTAL_FRAMES), 2) << level;
        EXPECT_EQ(d->Info(APE_INFO_FINAL_FRAME_BLOCKS), 1) << level;
        EXPECT_TRUE(FfmpegDecode(ape, 16) == AsString(pcm)) << level;
        if (level == 2000) {
            EXPECT_TRUE(JmacDecode(ape, dir / "out.wav") == AsString(pcm));
        }
    }
}

// Silence codes to a few bytes per frame at every level, and a stereo file
// whose channels are equal costs what its mono file does.
TEST(ApeSize, SilenceAndEqualChannelsAreCodedOnce) {
    test::ScratchDir dir;
    const std::string ape = dir / "x.ape";
    for (int level : {1000, 2000, 3000, 4000, 5000}) {
        ASSERT_EQ(Encode(ape, {2, 16, level}, MakePcm(Signal::Silence, 441000, 2, 16)), 0);
        EXPECT_LE(test::ReadFile(ape).size(), 2048u) << "10 s of silence, level " << level;

        const Bytes mono = MakePcm(Signal::EqualChannels, 3 * 44100, 1, 16);
        const Bytes stereo = MakePcm(Signal::EqualChannels, 3 * 44100, 2, 16);
        ASSERT_EQ(Encode(ape, {1, 16, level}, mono), 0);
        const double monoBytes = double(test::ReadFile(ape).size());
        ASSERT_EQ(Encode(ape, {2, 16, level}, stereo), 0);
        EXPECT_LE(double(test::ReadFile(ape).size()), monoBytes * 1.01) << "level " << level;
        EXPECT_TRUE(DecodeFile(ape).pcm == stereo) << "level " << level;
    }
}

// The filter's two vector kernels, each forced in turn, code the same bytes,
// and FFmpeg reads them exactly. The filter stages exist from High upwards.
TEST(ApeFilterKernels, EachKernelCodesTheSameExactFiles) {
    test::ScratchDir dir;
    const FilterKernel chosen = ActiveFilterKernel();
    const Bytes pcm = MakePcm(Signal::Music, 30000, 2, 16);
    for (int level : {3000, 4000, 5000}) {
        std::string files[2];
        for (FilterKernel kernel : {FilterKernel::Sse2, FilterKernel::Avx2}) {
            // A processor without AVX2 can never run that kernel.
            if (!ForceFilterKernel(kernel)) continue;
            const std::string ape = dir / "x.ape";
            ASSERT_EQ(Encode(ape, {2, 16, level}, pcm, 8192), 0);
            EXPECT_TRUE(DecodeFile(ape).pcm == pcm) << level;
            EXPECT_TRUE(FfmpegDecode(ape, 16) == AsString(pcm)) << level;
            files[int(kernel)] = test::ReadFile(ape);
        }
        if (!files[1].empty()) {
            EXPECT_TRUE(files[0] == files[1]) << "level " << level;
        }
    }
    ForceFilterKernel(chosen);
}

TEST(ApeInterop, DescriptorMd5CoversTheFileBody) {
    test::ScratchDir dir;
    ASSERT_EQ(Encode(dir / "x.ape", {2, 16, 2000}, MakePcm(Signal::Noise, 3000, 2, 16), 1024), 0);
    const Bytes file = ReadBytes(dir / "x.ape");
    // Body after the reserved part, then the header and seek table.
    const uint32_t table = file[16] | file[17] << 8;
    Bytes body(file.begin() + 76 + table, file.end());
    body.insert(body.end(), file.begin() + 52, file.begin() + 76 + table);
    test::WriteFile(dir / "body", std::string(body.begin(), body.end()));
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", file[36 + i]);
    EXPECT_EQ(test::RunCommand("md5sum < " + dir / "body").out.substr(0, 32), std::string(hex));
}

TEST(ApeDecoder, ReportsDamagedFrames) {
    test::ScratchDir dir;
    const Bytes pcm = MakePcm(Signal::Sweep, 6000, 2, 16);
    ASSERT_EQ(Encode(dir / "x.ape", {2, 16, 2000}, pcm, 4096), 0);
    const Bytes good = ReadBytes(dir / "x.ape");
    const std::size_t firstFrame = 76 + (good[16] | good[17] << 8);
    for (std::size_t offset : {firstFrame + 1, firstFrame + 200, good.size() - 300}) {
        Bytes bad = good;
        bad[offset] ^= 0x10;
        const Decoded out = DecodeSource(MemorySource(bad));
        EXPECT_EQ(out.createError, 0);
        EXPECT_NE(out.dataError, 0) << "byte " << offset;
        EXPECT_LT(out.pcm.size(), pcm.size());
    }
}

// Sizes and counts from a damaged header are refused before anything is
// allocated or read on their account.
TEST(ApeDecoder, RefusesImpossibleLayouts) {
    test::ScratchDir dir;
    ASSERT_EQ(Encode(dir / "x.ape", {2, 16, 2000}, MakePcm(Signal::Noise, 9000, 2, 16), 4096), 0);
    const Bytes good = ReadBytes(dir / "x.ape");
    auto withField = [&](std::size_t at, uint32_t value) {
        Bytes b = good;
        if (b.size() >= at + 4) PutLE32(b.data() + at, value);
        return b;
    };
    const std::size_t seekTable = 76;
    const std::vector<Bytes> broken = {
        withField(8, 0xFFFFFFF0u),           // descriptor length
        withField(12, 0x7FFFFFFFu),          // header length
        withField(16, 0xFFFFFFFCu),          // seek table length
        withField(20, 0x40000000u),          // stored WAV header length
        withField(52 + 4, 0xFFFFFFFFu),      // blocks per frame
        withField(52 + 8, 0),                // final frame blocks
        withField(52 + 12, 0x3FFFFFFFu),     // total frames
        withField(seekTable + 4, 0xFFFFFF00u),  // second frame beyond the file
        withField(seekTable + 8, 80),        // frames out of order
        Bytes(good.begin(), good.begin() + 60),  // truncated descriptor
        Bytes(good.begin(), good.begin() + 80),  // truncated seek table
    };
    for (std::size_t i = 0; i < broken.size(); ++i) {
        int error = 0;
        EXPECT_EQ(Decompressor::Open(MemorySource(broken[i]), error), nullptr) << "case " << i;
        EXPECT_NE(error, 0);
    }
}

// The plugin as the engines use it: loaded by path, every name resolved,
// files written and read through the C interface with the level's own frame
// size, and impossible formats refused.
TEST(MacDllPlugin, ExportsTheInterfaceCodesLongFilesAndRefusesImpossibleFormats) {
    void* lib = dlopen((test::BinDir() + "/Plugins/MACDll.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    const char* names[] = {"GetInterfaceCompatibility", "c_APEDecompress_Create", "c_APEDecompress_Destroy",
                           "c_APEDecompress_GetData",   "c_APEDecompress_Seek",   "c_APEDecompress_GetInfo",
                           "c_APECompress_Create",      "c_APECompress_Destroy",  "c_APECompress_Start",
                           "c_APECompress_AddData",     "c_APECompress_Finish"};
    for (const char* name : names) EXPECT_NE(dlsym(lib, name), nullptr) << name;
    EXPECT_EQ(dlsym(lib, "_ZN5zelph3ape10CompressorD1Ev"), nullptr) << "only the C interface is visible";

    auto compatible = reinterpret_cast<proc_GetInterfaceCompatibility>(dlsym(lib, "GetInterfaceCompatibility"));
    auto create = reinterpret_cast<proc_APECompress_Create>(dlsym(lib, "c_APECompress_Create"));
    auto start = reinterpret_cast<proc_APECompress_Start>(dlsym(lib, "c_APECompress_Start"));
    auto add = reinterpret_cast<proc_APECompress_AddData>(dlsym(lib, "c_APECompress_AddData"));
    auto finish = reinterpret_cast<proc_APECompress_Finish>(dlsym(lib, "c_APECompress_Finish"));
    auto destroy = reinterpret_cast<proc_APECompress_Destroy>(dlsym(lib, "c_APECompress_Destroy"));
    auto open = reinterpret_cast<proc_APEDecompress_Create>(dlsym(lib, "c_APEDecompress_Create"));
    auto info = reinterpret_cast<proc_APEDecompress_GetInfo>(dlsym(lib, "c_APEDecompress_GetInfo"));
    auto getData = reinterpret_cast<proc_APEDecompress_GetData>(dlsym(lib, "c_APEDecompress_GetData"));
    auto seek = reinterpret_cast<proc_APEDecompress_Seek>(dlsym(lib, "c_APEDecompress_Seek"));
    auto close = reinterpret_cast<proc_APEDecompress_Destroy>(dlsym(lib, "c_APEDecompress_Destroy"));
    EXPECT_EQ(compatible(3990, 1, nullptr), 0);

    test::ScratchDir dir;
    const std::string path = dir / "long.ape";
    const std::size_t blocks = 300000;  // more than one frame of the level
    Bytes pcm = MakePcm(Signal::Sweep, blocks, 2, 16);
    int error = -1;
    void* c = create(&error);
    ASSERT_NE(c, nullptr);
    const WAVEFORMATEX wfx{1, 2, 44100, 176400, 4, 16, 0};
    ASSERT_EQ(start(c, path.c_str(), &wfx, int(pcm.size()), COMPRESSION_LEVEL_NORMAL, nullptr,
                    CREATE_WAV_HEADER_ON_DECOMPRESSION), 0);
    for (std::size_t at = 0; at < pcm.size(); at += 1024)
        EXPECT_EQ(add(c, pcm.data() + at, int(std::min<std::size_t>(1024, pcm.size() - at))), 0);
    EXPECT_EQ(finish(c, nullptr, 0, 0), 0);
    destroy(c);

    void* d = open(path.c_str(), &error);
    ASSERT_NE(d, nullptr) << error;
    EXPECT_EQ(info(d, APE_INFO_BLOCK_ALIGN, 0, 0), 4);
    EXPECT_EQ(info(d, APE_DECOMPRESS_TOTAL_BLOCKS, 0, 0), int64_t(blocks));
    EXPECT_EQ(info(d, APE_INFO_CHANNELS, 0, 0), 2);
    EXPECT_EQ(info(d, APE_INFO_SAMPLE_RATE, 0, 0), 44100);
    EXPECT_EQ(info(d, APE_INFO_BITS_PER_SAMPLE, 0, 0), 16);
    EXPECT_EQ(info(d, APE_INFO_TOTAL_FRAMES, 0, 0), 5);  // 73,728 blocks each at Normal
    Bytes out, buffer(4 * 1024);
    for (int got = 1; got > 0;) {
        ASSERT_EQ(getData(d, reinterpret_cast<char*>(buffer.data()), 1024, &got), 0);
        out.insert(out.end(), buffer.begin(), buffer.begin() + got * 4);
    }
    EXPECT_TRUE(out == pcm);
    for (int target : {295000, 1000, 0}) {  // into the second frame, then back
        ASSERT_EQ(seek(d, target), 0);
        int got = 0;
        ASSERT_EQ(getData(d, reinterpret_cast<char*>(buffer.data()), 1024, &got), 0);
        ASSERT_EQ(got, 1024);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), pcm.begin() + target * 4)) << target;
    }
    close(d);
    EXPECT_EQ(open((dir / "missing.ape").c_str(), &error), nullptr);
    EXPECT_NE(error, 0);
    EXPECT_TRUE(FfmpegDecode(path, 16) == AsString(pcm));

    // A format record no encoder can honour is refused before a file is made:
    // no rate of 0, 1 Hz or 4 GHz, no channel-less stream, no frame size that
    // disagrees with its samples.
    auto withRate = [&](uint32_t hz) { WAVEFORMATEX f = wfx; f.nSamplesPerSec = hz; return f; };
    auto withChannels = [&](uint16_t n) { WAVEFORMATEX f = wfx; f.nChannels = n; return f; };
    auto withAlign = [&](uint16_t a) { WAVEFORMATEX f = wfx; f.nBlockAlign = a; return f; };
    const WAVEFORMATEX cases[] = {withRate(0), withRate(1), withRate(999), withRate(768001), withRate(0xFFFFFFFFu),
                                  withChannels(0), withAlign(0), withAlign(0xFFFF), wfx};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const bool isGood = i + 1 == std::size(cases);
        const std::string file = dir / ("case" + std::to_string(i) + ".ape");
        c = create(&error);
        ASSERT_NE(c, nullptr);
        const int result = start(c, file.c_str(), &cases[i], 4000, COMPRESSION_LEVEL_NORMAL, nullptr,
                                 CREATE_WAV_HEADER_ON_DECOMPRESSION);
        EXPECT_EQ(result == 0, isGood) << "case " << i;
        EXPECT_EQ(test::Exists(file), isGood) << "case " << i;
        destroy(c);
    }
    dlclose(lib);
}
