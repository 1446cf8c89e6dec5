#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <thread>

#include "codecs/engine.h"
#include "core/wavpcmengine.h"
#include "formats/bytereader.h"
#include "formats/waveheader.h"
#include "settings/settings.h"
#include "tests/support/scratch.h"

using namespace zelph;
using test::Exists;
using test::ReadFile;
using test::RunCommand;
using test::ScratchDir;
using test::WriteFile;

namespace {

std::string Bytes(const WaveHeader& header) {
    const auto bytes = WaveHeaderBytes(header);
    return std::string(bytes.begin(), bytes.end());
}

std::string Wav(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data) {
    return Bytes(MakeWaveHeader(channels, rate, bits, static_cast<uint32_t>(data.size()))) + data;
}

std::string Noise(std::size_t count, uint32_t seed) {
    std::string out(count, '\0');
    for (char& c : out) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return out;
}

Job RunJob(const std::string& source, const std::string& target, const WavPcmSettings* params,
           int32_t stop = 0) {
    Job job;
    job.sourcePath = source;
    job.targetPath = target;
    job.engineParams = const_cast<WavPcmSettings*>(params);
    job.progress = 30;
    job.progressSpan = 10;
    job.stopRequested = stop;
    EncodeWavPcm(&job);
    EXPECT_EQ(job.running, 0) << "running is cleared on every way out";
    return job;
}

struct Fields {
    uint32_t riffSize, fmtSize, sampleRate, byteRate, dataSize;
    uint16_t formatTag, channels, blockAlign, bits;
};

Fields HeaderOf(const std::string& file) {
    ByteReader in(std::span(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
    Fields f{};
    EXPECT_TRUE(in.Tag("RIFF"));
    f.riffSize = in.U32();
    EXPECT_TRUE(in.Tag("WAVEfmt "));
    f.fmtSize = in.U32();
    f.formatTag = in.U16();
    f.channels = in.U16();
    f.sampleRate = in.U32();
    f.byteRate = in.U32();
    f.blockAlign = in.U16();
    f.bits = in.U16();
    EXPECT_TRUE(in.Tag("data"));
    f.dataSize = in.U32();
    EXPECT_TRUE(in.ok());
    return f;
}

// What one sample of a frame should become, written in bytes: a 16-bit
// sample's high byte is the 8-bit sample with its top bit flipped.
std::string Expected(const std::string& data, int inChannels, int inBytes, int outChannels, int outBytes) {
    std::string out;
    const int frame = inChannels * inBytes;
    for (std::size_t at = 0; at + frame <= data.size(); at += frame) {
        for (int c = 0; c < outChannels; ++c) {
            const int from = static_cast<int>(at) + (inChannels == 2 ? c : 0) * inBytes;
            const uint8_t high = inBytes == 2 ? data[from + 1] : data[from] ^ 0x80;
            const uint8_t low = inBytes == 2 ? data[from] : 0;
            if (outBytes == 2) out += {static_cast<char>(low), static_cast<char>(high)};
            else out += static_cast<char>(high ^ 0x80);
        }
    }
    return out;
}

}  // namespace

TEST(WavPcmEngine, AllSixteenConversionsSampleBySample) {
    ScratchDir dir;
    const int frames = 5001;  // several chunks and a last one that is short
    for (int inChannels : {1, 2}) {
        for (int inBytes : {1, 2}) {
            const std::string data = Noise(frames * inChannels * inBytes, inChannels * 7 + inBytes);
            WriteFile(dir / "in.wav", Wav(inChannels, 22050, inBytes * 8, data));
            for (int16_t outChannels : {1, 2}) {
                for (int16_t outBytes : {1, 2}) {
                    SCOPED_TRACE(testing::Message() << inChannels << "ch " << inBytes * 8 << "bit to "
                                                    << outChannels << "ch " << outBytes * 8 << "bit");
                    const WavPcmSettings params{outChannels, outBytes};
                    const Job job = RunJob(dir / "in.wav", dir / "out.wav", &params);
                    EXPECT_EQ(job.succeeded, 1);
                    EXPECT_EQ(job.progress, 40);
                    const std::string out = ReadFile(dir / "out.wav");
                    const std::string want = Expected(data, inChannels, inBytes, outChannels, outBytes);
                    ASSERT_EQ(out.size(), 44 + want.size());
                    EXPECT_TRUE(out.substr(44) == want);
                    const Fields f = HeaderOf(out);
                    EXPECT_EQ(f.channels, outChannels);
                    EXPECT_EQ(f.bits, outBytes * 8);
                    EXPECT_EQ(f.blockAlign, outChannels * outBytes);
                    EXPECT_EQ(f.byteRate, 22050u * outChannels * outBytes);
                    EXPECT_EQ(f.sampleRate, 22050u);
                    EXPECT_EQ(f.dataSize, want.size());
                    EXPECT_EQ(f.riffSize, want.size() + 36);
                }
            }
        }
    }
}

TEST(WavPcmEngine, KnownSamplesAndDefaultForm) {
    ScratchDir dir;
    // Left 0x1234, right 0x7F7F: mono keeps the left sample.
    WriteFile(dir / "s16.wav", Wav(2, 44100, 16, std::string("\x34\x12\x7F\x7F", 4)));
    const WavPcmSettings mono16{1, 2}, mono8{1, 1};
    RunJob(dir / "s16.wav", dir / "m16.wav", &mono16);
    EXPECT_EQ(ReadFile(dir / "m16.wav").substr(44), std::string("\x34\x12", 2));
    RunJob(dir / "s16.wav", dir / "m8.wav", &mono8);
    EXPECT_EQ(ReadFile(dir / "m8.wav").substr(44), "\x92");

    // 8000 Hz mono 8-bit to the default 16-bit stereo: silence stays silence.
    WriteFile(dir / "m8in.wav", Wav(1, 8000, 8, std::string("\x80\x80", 2)));
    EXPECT_EQ(RunJob(dir / "m8in.wav", dir / "st.wav", nullptr).succeeded, 1);
    const std::string st = ReadFile(dir / "st.wav");
    const Fields f = HeaderOf(st);
    EXPECT_EQ(f.byteRate, 32000u);
    EXPECT_EQ(f.blockAlign, 4);
    EXPECT_EQ(st.substr(44), std::string(8, '\0'));

    // 16-bit stereo with no parameters: the data is copied byte for byte.
    const std::string data = Noise(40000, 5);
    WriteFile(dir / "cd.wav", Wav(2, 44100, 16, data));
    RunJob(dir / "cd.wav", dir / "copy.wav", nullptr);
    EXPECT_TRUE(ReadFile(dir / "copy.wav") == Wav(2, 44100, 16, data));
}

TEST(WavPcmEngine, OnlyWholeFramesOfTheDataChunkAreAudio) {
    ScratchDir dir;
    const std::string data = Noise(4000, 9);
    // A data chunk followed by a tag chunk: the tag is not converted.
    WriteFile(dir / "tagged.wav", Wav(2, 44100, 16, data) + "LIST" + std::string("\x04\0\0\0INFO", 8));
    EXPECT_EQ(RunJob(dir / "tagged.wav", dir / "a.wav", nullptr).succeeded, 1);
    EXPECT_TRUE(ReadFile(dir / "a.wav") == Wav(2, 44100, 16, data));

    // Cut in the middle of its data chunk (and of a frame): what is there, in
    // whole frames, with sizes to match.
    WriteFile(dir / "cut.wav", Wav(2, 44100, 16, data).substr(0, 44 + 1001));
    EXPECT_EQ(RunJob(dir / "cut.wav", dir / "b.wav", nullptr).succeeded, 1);
    EXPECT_TRUE(ReadFile(dir / "b.wav") == Wav(2, 44100, 16, data.substr(0, 1000)));

    // A streamed file's size field (0xFFFFFFFF) means up to the end.
    WaveHeader streamed = MakeWaveHeader(1, 8000, 8, 0xFFFFFFFFu);
    WriteFile(dir / "streamed.wav", Bytes(streamed) + "\x10\x20\x30");
    const WavPcmSettings mono8{1, 1};
    EXPECT_EQ(RunJob(dir / "streamed.wav", dir / "c.wav", &mono8).succeeded, 1);
    EXPECT_TRUE(ReadFile(dir / "c.wav") == Wav(1, 8000, 8, "\x10\x20\x30"));
}

TEST(WavPcmEngine, FilesFromOtherToolsDecodeAlike) {
    ScratchDir dir;
    const std::string src = dir / "src.wav", out = dir / "out.wav";
    // ffmpeg adds a LIST chunk for the title; sox writes 6 channels as extensible.
    ASSERT_EQ(RunCommand("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=0.3:sample_rate=32000 -ac 2 "
                         "-metadata title=Song -c:a pcm_s16le -y " + src).status, 0);
    const WavPcmSettings mono16{1, 2};
    EXPECT_EQ(RunJob(src, out, &mono16).succeeded, 1);
    const auto left = RunCommand("ffmpeg -v error -i " + src + " -af pan='mono|c0=c0' -f s16le -");
    const auto ours = RunCommand("ffmpeg -v error -i " + out + " -f s16le -");
    ASSERT_EQ(ours.status, 0);
    EXPECT_EQ(ours.out.size(), 9600u * 2);
    EXPECT_TRUE(ours.out == left.out);

    // sox writes 24 bits in the extensible form: the header is accepted, but
    // 24 bits is no form the engine converts, so the output stays empty.
    ASSERT_EQ(RunCommand("sox -n -r 8000 -c 2 -b 24 " + src + " synth 0.1 sine 300").status, 0);
    {
        ExclusiveFile file(src, ExclusiveFile::kRead);
        WaveHeader header;
        EXPECT_NE(ReadWaveHeader(file.fd(), header), 0u);
    }
    EXPECT_EQ(RunJob(src, out, nullptr).succeeded, 0);
    EXPECT_EQ(ReadFile(out), "");

    // 16-bit stereo in the extensible form converts like plain PCM.
    const std::string guid("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    std::string fmt = Bytes(MakeWaveHeader(2, 48000, 16, 0)).substr(20, 16);
    fmt[0] = '\xFE', fmt[1] = '\xFF';
    fmt += std::string("\x16\x00\x10\x00\x03\x00\x00\x00", 8) + guid;
    WriteFile(src, "RIFF" + std::string("\x44\0\0\0", 4) + "WAVEfmt " + std::string("\x28\0\0\0", 4) + fmt +
                       "data" + std::string("\x04\0\0\0\x34\x12\x78\x56", 8));
    EXPECT_EQ(RunJob(src, out, &mono16).succeeded, 1);
    EXPECT_TRUE(ReadFile(out) == Wav(1, 48000, 16, std::string("\x34\x12", 2)));
}

TEST(WavPcmEngine, FailuresLeaveSucceededUnset) {
    ScratchDir dir;
    WriteFile(dir / "in.wav", Wav(1, 8000, 16, Noise(20000, 3)));
    const WavPcmSettings bad{3, 1};
    EXPECT_EQ(RunJob(dir / "in.wav", dir / "x.wav", &bad).succeeded, 0);
    EXPECT_FALSE(Exists(dir / "x.wav")) << "an unknown form starts no conversion";

    EXPECT_EQ(RunJob(dir / "missing.wav", dir / "y.wav", nullptr).succeeded, 0);
    EXPECT_EQ(RunJob(dir / "in.wav", dir / "no/such/folder.wav", nullptr).succeeded, 0);
    WriteFile(dir / "notwav.wav", "RIFF....AVI LIST");
    EXPECT_EQ(RunJob(dir / "notwav.wav", dir / "z.wav", nullptr).succeeded, 0);
    EXPECT_EQ(ReadFile(dir / "z.wav"), "") << "a rejected source leaves an empty output";

    // A source or target held by another open counts as in use; the held
    // target keeps its contents.
    WriteFile(dir / "held.wav", "keep");
    const int other = ::open((dir / "held.wav").c_str(), O_RDONLY);
    ::flock(other, LOCK_EX);
    EXPECT_EQ(RunJob(dir / "in.wav", dir / "held.wav", nullptr).succeeded, 0);
    EXPECT_EQ(RunJob(dir / "held.wav", dir / "w.wav", nullptr).succeeded, 0);
    ::close(other);
    EXPECT_EQ(ReadFile(dir / "held.wav"), "keep");

    // A full disk: no write may pass unnoticed.
    EXPECT_EQ(RunJob(dir / "in.wav", "/dev/full", nullptr).succeeded, 0);
}

TEST(WavPcmEngine, StopEndsAfterTheCurrentChunk) {
    ScratchDir dir;
    WriteFile(dir / "in.wav", Wav(2, 44100, 16, Noise(100000, 4)));
    const Job job = RunJob(dir / "in.wav", dir / "out.wav", nullptr, /*stop=*/1);
    EXPECT_EQ(job.succeeded, 0);
    EXPECT_EQ(ReadFile(dir / "out.wav").size(), 44u + 8192);
    EXPECT_GE(job.progress, 30);
    EXPECT_LT(job.progress, 40);

    // Through the runner's way of starting it, on a thread of its own.
    Job threaded;
    threaded.sourcePath = dir / "in.wav";
    threaded.targetPath = dir / "out2.wav";
    threaded.running = 1;
    StartEngine(EncodeWavPcm, &threaded);
    StoreShared(threaded.stopRequested, 1);
    while (LoadShared(threaded.running) != 0) std::this_thread::yield();
    EXPECT_EQ(threaded.succeeded, 0);
}

TEST(WavPcmEngine, InPlaceReplacesTheSourceOnlyWhenComplete) {
    ScratchDir dir;
    const std::string data = Noise(30000, 6);
    const std::string original = Wav(2, 44100, 16, data);
    const std::string temp = dir / "Temp-QOR-File";
    const WavPcmSettings mono8{1, 1};

    WriteFile(temp, original);
    EXPECT_EQ(RunJob(temp, "", &mono8, /*stop=*/1).succeeded, 0);
    EXPECT_TRUE(ReadFile(temp) == original) << "a stopped rewrite keeps the source";
    EXPECT_FALSE(Exists(temp + "(1)"));

    EXPECT_EQ(RunJob(temp, "", &mono8).succeeded, 1);
    EXPECT_TRUE(ReadFile(temp) == Wav(1, 44100, 8, Expected(data, 2, 2, 1, 1)));
    EXPECT_FALSE(Exists(temp + "(1)"));

    EXPECT_EQ(RunJob(dir / "gone", "", &mono8).succeeded, 0);
    EXPECT_FALSE(Exists(dir / "gone(1)"));
}

TEST(WavPcmEngine, FileSizeLimitFailsTheJobAndKeepsTheSource) {
    ScratchDir dir;
    const std::string original = Wav(1, 8000, 8, Noise(20000, 8));
    WriteFile(dir / "t", original);
    WriteFile(dir / "u.wav", original);
    // In a child, so that the limit binds only this conversion.
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{40000, 40000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Job inPlace, toFile;
        for (auto [job, target] : {std::pair{&inPlace, std::string()}, std::pair{&toFile, dir / "big.wav"}}) {
            job->sourcePath = target.empty() ? dir / "t" : dir / "u.wav";
            job->targetPath = target;
            EncodeWavPcm(job);
        }
        ::_exit(inPlace.succeeded + toFile.succeeded + 2 * (inPlace.running + toFile.running));
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "neither job may count as done, both must end";
    EXPECT_TRUE(ReadFile(dir / "t") == original);
    EXPECT_FALSE(Exists(dir / "t(1)"));
    EXPECT_EQ(ReadFile(dir / "big.wav").size(), 40000u) << "the partial output is the runner's to judge";
}
