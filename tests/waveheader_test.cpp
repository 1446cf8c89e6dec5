#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "formats/bytereader.h"
#include "formats/waveheader.h"
#include "tests/support/scratch.h"

namespace zelph::test {

namespace {

std::string U16(uint16_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) { return U16(static_cast<uint16_t>(v)) + U16(static_cast<uint16_t>(v >> 16)); }

std::string Chunk(const std::string& id, const std::string& body, uint32_t declared = 0) {
    std::string out = id + U32(declared ? declared : static_cast<uint32_t>(body.size())) + body;
    if (body.size() % 2) out += '\0';
    return out;
}

std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::string extra = "") {
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return U16(tag) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits) + extra;
}

std::string Riff(const std::string& chunks) { return "RIFF" + U32(4 + chunks.size()) + "WAVE" + chunks; }

// A file whose format chunk is the extensible form with `subFormat`'s GUID, then `data`.
std::string Extensible(uint16_t subFormat, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t mask,
                       const std::string& data) {
    const std::string guidTail("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    const std::string extension = U16(22) + U16(bits) + U32(mask) + U16(subFormat) + guidTail;
    return Riff(Chunk("fmt ", Fmt(0xFFFE, channels, rate, bits, extension)) + Chunk("data", data));
}

// The rate, channels and length in frames of the file's stream, as ffprobe reads them.
std::string Probed(const std::string& path) {
    return RunCommand("ffprobe -v error -show_entries stream=channels,sample_rate,duration_ts -of csv=p=0 " + path).out;
}

// `bytes` as the file w.wav in `dir`; its path.
std::string Written(const ScratchDir& dir, const std::string& bytes) {
    WriteFile(dir / "w.wav", bytes);
    return dir / "w.wav";
}

// Reads the header of `bytes` written to a file; the file position after the call is returned too.
struct Read {
    uint32_t offset;
    off_t position;
    WaveHeader header;
};

Read ReadBytes(const ScratchDir& dir, const std::string& bytes) {
    const int fd = ::open(Written(dir, bytes).c_str(), O_RDONLY);
    ::lseek(fd, 3, SEEK_SET);
    Read r{};
    WaveFormat format;
    std::memset(&format.header, 0x5A, sizeof format.header);
    r.offset = ReadWaveHeader(fd, format);
    r.header = format.header;
    r.position = ::lseek(fd, 0, SEEK_CUR);
    ::close(fd);
    return r;
}

}  // namespace

TEST(WaveHeader, ReaderFindsFormatAndDataAcrossOtherChunks) {
    ScratchDir dir;
    const std::string pcm = Fmt(1, 2, 22050, 16);
    auto plain = ReadBytes(dir, Riff(Chunk("fmt ", pcm) + Chunk("data", "abcd")));
    EXPECT_EQ(plain.offset, 44u);
    EXPECT_EQ(plain.position, 44);
    EXPECT_EQ(plain.header.sampleRate, 22050u);
    EXPECT_EQ(plain.header.dataSize, 4u);

    auto extended = ReadBytes(dir, Riff(Chunk("fmt ", pcm + U16(0)) + Chunk("data", "ab")));
    EXPECT_EQ(extended.offset, 46u);
    EXPECT_EQ(extended.header.fmtSize, 18u);

    // An odd-sized chunk is followed by its pad byte.
    auto tagged = ReadBytes(dir, Riff(Chunk("JUNK", "xyz") + Chunk("fmt ", pcm) + Chunk("LIST", "INFOabcd") +
                                      Chunk("fact", "1234") + Chunk("data", "ab") + Chunk("id3 ", "tag")));
    EXPECT_EQ(tagged.offset, 12u + 12 + 24 + 16 + 12 + 8);
    EXPECT_EQ(tagged.position, tagged.offset);
    EXPECT_EQ(tagged.header.dataSize, 2u);
    EXPECT_EQ(tagged.header.formatTag, 1);

    auto extensible = ReadBytes(dir, Extensible(1, 6, 48000, 16, 0x3F, ""));
    EXPECT_EQ(extensible.offset, 12u + 48 + 8);
    EXPECT_EQ(extensible.header.formatTag, 1);
    EXPECT_EQ(extensible.header.channels, 6);
    EXPECT_EQ(extensible.header.fmtSize, 40u);
}

TEST(WaveHeader, FormatReaderTakesFloatSamplesAndTheSpeakerMask) {
    ScratchDir dir;
    auto read = [&](const std::string& bytes) {
        const int fd = ::open(Written(dir, bytes).c_str(), O_RDONLY);
        WaveFormat format;
        format.channelMask = 0xDEAD;
        const uint32_t offset = ReadWaveFormat(fd, format);
        ::close(fd);
        return std::pair{offset, format};
    };
    const auto [plainOffset, plain] = read(Riff(Chunk("fmt ", Fmt(3, 2, 44100, 64)) + Chunk("data", "abcdefgh")));
    EXPECT_EQ(plainOffset, 44u);
    EXPECT_EQ(plain.header.formatTag, kWaveFormatFloat);
    EXPECT_EQ(plain.header.bitsPerSample, 64);
    EXPECT_EQ(plain.channelMask, 0u) << "a plain format chunk names no speakers";

    const auto [floatOffset, surround] = read(Extensible(3, 6, 96000, 32, 0x60F, "abcdefgh"));
    EXPECT_EQ(floatOffset, 68u);
    EXPECT_EQ(surround.header.formatTag, kWaveFormatFloat);
    EXPECT_EQ(surround.header.channels, 6);
    EXPECT_EQ(surround.channelMask, 0x60Fu);
    const auto [pcmOffset, pcm] = read(Extensible(1, 8, 96000, 24, 0x63F, "abcdefgh"));
    EXPECT_EQ(pcmOffset, 68u);
    EXPECT_EQ(pcm.header.formatTag, kWaveFormatPcm);
    EXPECT_EQ(pcm.channelMask, 0x63Fu);

    // Neither integer nor float samples: refused, the record untouched.
    for (const std::string& other : {Extensible(2, 2, 96000, 16, 3, "abcdefgh"), Riff(Chunk("fmt ", Fmt(2, 2, 44100, 4)) + Chunk("data", "ab"))}) {
        const auto [offset, format] = read(other);
        EXPECT_EQ(offset, 0u);
        EXPECT_EQ(format.channelMask, 0xDEADu);
    }
}

TEST(WaveHeader, RejectionLeavesPositionAndHeader) {
    ScratchDir dir;
    for (const std::string& bytes : {
             Riff(Chunk("fmt ", Fmt(3, 2, 44100, 32)) + Chunk("data", "abcdefgh")),  // float
             Extensible(3, 2, 44100, 32, 3, ""),                                   // extensible float
             Riff(Chunk("data", "ab") + Chunk("fmt ", Fmt(1, 2, 44100, 16))),       // data before fmt
             Riff(Chunk("fmt ", Fmt(1, 2, 44100, 16))),                            // no data
             Riff(Chunk("JUNK", "", 0xFFFFFFF0u) + Chunk("fmt ", Fmt(1, 2, 44100, 16))),  // chunk past the end
             Riff(Chunk("fmt ", "abc")),                                           // short format
             std::string("RIFF"), std::string(),
         }) {
        auto r = ReadBytes(dir, bytes);
        EXPECT_EQ(r.offset, 0u);
        EXPECT_EQ(r.position, 3);
        EXPECT_EQ(r.header.channels, 0x5A5A);
    }
}

namespace {

// The audio length the reader accepts in the file at `path`, or the reason it gives.
std::string AudioOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    WaveFormat format;
    std::string reason;
    const uint32_t offset = ReadWaveFormat(fd, format, &reason);
    ::close(fd);
    if (!offset) return "refused: " + reason;
    const std::string audio = std::to_string(format.audioBytes);
    return format.statedAudioBytes == format.audioBytes ? audio : audio + " of " + std::to_string(format.statedAudioBytes);
}

}  // namespace

TEST(WaveHeader, AudioIsTheDataChunkUpToTheEndAndEveryOtherSizeMismatchIsRefused) {
    ScratchDir dir;
    const std::string fmt = Chunk("fmt ", Fmt(1, 2, 44100, 16));
    auto audio = [&](const std::string& bytes) { return AudioOf(Written(dir, bytes)); };
    EXPECT_EQ(audio(Riff(fmt + Chunk("data", std::string(1000, 'a')) + Chunk("LIST", "INFOab"))), "1000")
        << "a trailing tag is not audio";
    EXPECT_EQ(audio(Riff(fmt + Chunk("data", std::string(1003, 'a')))), "1000") << "whole frames only";
    EXPECT_EQ(audio(Riff(fmt + "data" + U32(0xFFFFFFFFu) + std::string(4003, 'a'))), "4000") << "streamed";
    EXPECT_EQ(audio(Riff(fmt + "data" + U32(0) + std::string(8, 'a'))), "8") << "streamed";
    EXPECT_EQ(audio(Riff(fmt + "data" + U32(1000) + std::string(503, 'a'))), "500 of 1000")
        << "a file that ends early holds what is there";
    EXPECT_EQ(audio(Riff(fmt + "data" + U32(1000) + std::string(1040, 'a'))),
              "refused: the data chunk claims 1000 bytes, 1040 follow it") << "a chunk \"aaaa\" cut short";
    for (const std::string& stray : {std::string(5, 'x'), std::string(96, '\0'), Chunk("LIST", "INFO") + "\x01" + std::string(90, 'b')})
        EXPECT_EQ(audio(Riff(fmt + Chunk("data", std::string(1000, 'a')) + stray)), "1000") << "stray bytes ignored";
    EXPECT_EQ(audio(Riff(fmt + "data" + U32(1000) + std::string(1000, 'a') + std::string(1100, '\0'))),
              "refused: the data chunk claims 1000 bytes, 2100 follow it") << "more than a few";
    EXPECT_EQ(audio(Riff(fmt + "data" + U32(1000) + std::string(1000, 'a') + "LIST" + U32(100) + "xy")),
              "refused: the data chunk claims 1000 bytes, 1010 follow it") << "a tag cut short";
}

TEST(WaveHeader, FilesOver4GiBAreReadWhole) {
    ScratchDir dir;
    const uint64_t real = (uint64_t{1} << 32) + 4000;
    const std::string fmt = Chunk("fmt ", Fmt(1, 2, 44100, 16));
    // Sparse: the zeros of the audio cost no disk.
    auto sparse = [&](const std::string& head, uint64_t audio) {
        const std::string path = dir / "big.wav";
        WriteFile(path, head);
        EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(head.size() + audio)), 0);
        return AudioOf(path);
    };
    const std::string riff = "RIFF" + U32(static_cast<uint32_t>(real + 36)) + "WAVE" + fmt;
    EXPECT_EQ(sparse(riff + "data" + U32(static_cast<uint32_t>(real)), real), std::to_string(real))
        << "a wrapped size in a last data chunk running to the end";
    EXPECT_EQ(sparse(riff + "data" + U32(static_cast<uint32_t>(real)), real + 2),
              "refused: the data chunk claims 4000 bytes, " + std::to_string(real + 2) + " follow it");

    const std::string ds64 = Chunk("ds64", std::string(8, '\0') + U32(static_cast<uint32_t>(real)) + U32(1) +
                                               U32(static_cast<uint32_t>(real / 4)) + U32(0));
    for (const char* magic : {"RF64", "BW64"}) {
        const std::string head = std::string(magic) + U32(0xFFFFFFFFu) + "WAVE" + ds64 + fmt + "data" + U32(0xFFFFFFFFu);
        EXPECT_EQ(sparse(head, real), std::to_string(real)) << magic;
        EXPECT_EQ(sparse(head, real - 4), std::to_string(real - 4) + " of " + std::to_string(real)) << magic;
    }
    EXPECT_EQ(sparse("RF64" + U32(0xFFFFFFFFu) + "WAVE" + fmt + "data" + U32(0xFFFFFFFFu), 8),
              "refused: an RF64 file without its ds64 sizes");

    // The form FFmpeg writes for large outputs.
    const std::string rf64 = dir / "rf64.wav";
    ASSERT_EQ(RunCommand("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=0.25:sample_rate=48000 -ac 2 "
                         "-c:a pcm_s16le -rf64 always -y " + rf64).status, 0);
    ASSERT_EQ(test::ReadFile(rf64).substr(0, 4), "RF64");
    EXPECT_EQ(AudioOf(rf64), "48000");
    EXPECT_EQ(DescribeWaveFile(rf64), "PCM Wave Stereo 16Bit 48000Hz");
}

TEST(WaveHeader, OutputsOver4GiBAreWrittenAsRF64) {
    ScratchDir dir;
    const std::string path = dir / "out.wav";
    // The header's length; the audio after it is sparse. Only the header is ever read.
    auto write = [&](uint64_t dataBytes) {
        ::unlink(path.c_str());
        off_t headerBytes = 0;
        {
            ExclusiveFile file(path, ExclusiveFile::kCreate);
            EXPECT_TRUE(WriteSizedWaveHeader(file, 2, 48000, 16, dataBytes));
            headerBytes = ::lseek(file.fd(), 0, SEEK_CUR);
        }
        EXPECT_EQ(::truncate(path.c_str(), headerBytes + static_cast<off_t>(dataBytes)), 0);
        return static_cast<uint64_t>(headerBytes);
    };
    const uint64_t largest = UINT32_MAX - 36;
    EXPECT_EQ(write(largest), 44u) << "the usual form while it fits";
    EXPECT_EQ(AudioOf(path), std::to_string(largest - largest % 4));
    const uint64_t big = (uint64_t{5} << 30) + 8;
    EXPECT_EQ(write(big), 80u);
    EXPECT_EQ(RunCommand("head -c 4 " + path).out, "RF64");
    EXPECT_EQ(AudioOf(path), std::to_string(big));
    EXPECT_EQ(Probed(path), "48000,2," + std::to_string(big / 4) + "\n");
}

TEST(WaveHeader, FormatsNoEngineTakesAreRefusedWithAReason) {
    ScratchDir dir;
    auto refusal = [&](uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int alignChange = 0) {
        std::string fmt = Fmt(tag, channels, rate, bits);
        const uint16_t align = static_cast<uint16_t>(channels * bits / 8 + alignChange);
        fmt[12] = static_cast<char>(align), fmt[13] = static_cast<char>(align >> 8);
        return AudioOf(Written(dir, Riff(Chunk("fmt ", fmt) + Chunk("data", std::string(96, 'a')))));
    };
    EXPECT_EQ(refusal(1, 0, 44100, 16), "refused: 0 channels (1 to 8 are taken)");
    EXPECT_EQ(refusal(1, 9, 44100, 16), "refused: 9 channels (1 to 8 are taken)");
    for (uint32_t rate : {0u, 999u, 768001u, 0xFFFFFFFFu})
        EXPECT_EQ(refusal(1, 2, rate, 16),
                  "refused: a sample rate of " + std::to_string(rate) + " Hz (1000 to 768000 Hz are taken)");
    EXPECT_EQ(refusal(1, 2, 44100, 12), "refused: 12-bit samples");
    EXPECT_EQ(refusal(1, 2, 44100, 0), "refused: 0-bit samples");
    EXPECT_EQ(refusal(3, 2, 44100, 16), "refused: 16-bit samples") << "float";
    EXPECT_EQ(refusal(1, 2, 44100, 16, 1), "refused: a block align of 5 for 4-byte sample frames");
    EXPECT_EQ(refusal(1, 2, 44100, 16, -4), "refused: a block align of 0 for 4-byte sample frames");
    EXPECT_EQ(refusal(2, 2, 44100, 4), "refused: not PCM or float samples");
    // The edges themselves are taken.
    EXPECT_EQ(refusal(1, 8, 1000, 32), "96");
    EXPECT_EQ(refusal(3, 1, 768000, 64), "96");
}

TEST(WaveHeader, DescriptionTexts) {
    ScratchDir dir;
    auto describe = [&](const std::string& bytes) { return DescribeWaveFile(Written(dir, bytes)); };
    EXPECT_EQ(describe(Riff(Chunk("fmt ", Fmt(1, 2, 44100, 16)) + Chunk("data", ""))), "PCM Wave Stereo 16Bit 44100Hz");
    EXPECT_EQ(describe(Riff(Chunk("LIST", "x") + Chunk("fmt ", Fmt(1, 1, 8000, 8)))), "PCM Wave Mono 8Bit 8000Hz");
    EXPECT_EQ(describe(Riff(Chunk("fmt ", Fmt(3, 2, 44100, 32)))), "Float Wave Stereo 32Bit 44100Hz");
    EXPECT_EQ(describe(Riff(Chunk("fmt ", Fmt(2, 2, 44100, 4)))), "Not A Valid PCM Wave File") << "ADPCM";
    EXPECT_EQ(describe(Riff(Chunk("fmt ", Fmt(1, 6, 48000, 24)))), "PCM Wave 6Ch 24Bit 48000Hz");
    EXPECT_EQ(describe(Riff(Chunk("fmt ", Fmt(1, 9, 48000, 16)))), "Unrecognized Wave Format");
    EXPECT_EQ(describe(Riff(Chunk("fmt ", Fmt(1, 6, 48000, 12)))), "Unrecognized Wave Format");
    for (const std::string& bytes : {std::string(), std::string("RIFF1234WAV"), "RIFX" + U32(4) + "WAVE"})
        EXPECT_EQ(describe(bytes), "Not A Valid Wave File") << bytes;

    // Missing, a pipe, or held by another open.
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    const int other = ::open((dir / "w.wav").c_str(), O_RDONLY);
    ::flock(other, LOCK_EX);
    for (const char* name : {"missing.wav", "pipe.wav", "w.wav"})
        EXPECT_EQ(DescribeWaveFile(dir / name), "File Doesnot Exist Or In Use") << name;
    ::close(other);
}

TEST(WaveHeader, BothWaysOfWritingReadBackAlike) {
    ScratchDir dir;
    const std::string pcm(4000, '\x11');
    const WaveHeader header = MakeWaveHeader(2, 44100, 16, static_cast<uint32_t>(pcm.size()));
    {
        ExclusiveFile known(dir / "known.wav", ExclusiveFile::kCreate);
        ASSERT_TRUE(WriteWaveHeader(known, header) && known.WriteAll(pcm.data(), pcm.size()));
        ExclusiveFile streamed(dir / "streamed.wav", ExclusiveFile::kCreate);
        ASSERT_TRUE(WriteWaveHeaderPlaceholder(streamed) && streamed.WriteAll(pcm.data(), 2000));
        EXPECT_EQ(test::ReadFile(dir / "streamed.wav"), std::string(44, '\0') + pcm.substr(0, 2000))
            << "until it is patched, a streamed file starts with 44 zeros";
        ASSERT_TRUE(PatchWaveHeader(streamed, header));
        ASSERT_TRUE(streamed.WriteAll(pcm.data(), 2000)) << "the patch leaves the position at the end";
    }
    EXPECT_EQ(test::ReadFile(dir / "streamed.wav"), test::ReadFile(dir / "known.wav"));
    EXPECT_EQ(Probed(dir / "known.wav"), "44100,2,1000\n");

    ExclusiveFile full("/dev/full", ExclusiveFile::kCreate);
    ASSERT_TRUE(full.is_open());
    EXPECT_FALSE(WriteWaveHeader(full, header)) << "a full disk is a failed write";
}

}  // namespace zelph::test
