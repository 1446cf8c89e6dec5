#include "formats/waveheader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <string>

#include "formats/bytereader.h"
#include "formats/exclusivefile.h"

namespace zelph {

namespace {

constexpr uint16_t kFormatExtensible = 0xFFFE;
// Every sub-format GUID after its first two bytes (which hold the plain tag).
constexpr uint8_t kSubFormatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool ReadAt(int fd, uint64_t offset, uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

struct FormatChunk {
    uint32_t size = 0;
    uint16_t tag = 0, channels = 0, blockAlign = 0, bitsPerSample = 0;
    uint32_t sampleRate = 0, byteRate = 0;
    uint32_t channelMask = 0;
};

struct RiffLayout {
    std::optional<FormatChunk> format;
    uint64_t dataOffset = 0;  // 0: no data chunk after the format chunk
    uint32_t dataSize = 0;    // as stored in the data chunk
    uint64_t audioBytes = 0;  // what the data chunk really holds
    uint64_t statedBytes = 0; // what it says it holds
    std::string problem;      // why the sizes cannot be trusted; "" when they can
};

FormatChunk ParseFormat(std::span<const uint8_t> body, uint32_t size) {
    ByteReader in(body);
    FormatChunk f;
    f.size = size;
    f.tag = in.U16();
    f.channels = in.U16();
    f.sampleRate = in.U32();
    f.byteRate = in.U32();
    f.blockAlign = in.U16();
    f.bitsPerSample = in.U16();
    if (f.tag == kFormatExtensible && size >= 40) {
        in.Skip(4);  // cbSize, valid bits
        const uint32_t mask = in.U32();
        const uint16_t subFormat = in.U16();
        const auto tail = in.Bytes(sizeof kSubFormatGuidTail);
        if (in.ok() && (subFormat == kWaveFormatPcm || subFormat == kWaveFormatFloat) &&
            std::memcmp(tail.data(), kSubFormatGuidTail, sizeof kSubFormatGuidTail) == 0) {
            f.tag = subFormat;
            f.channelMask = mask;
        }
    }
    return f;
}

struct ChunkHead {
    char id[4];
    uint32_t size;
};

std::optional<ChunkHead> ReadChunkHead(int fd, uint64_t at) {
    uint8_t bytes[8];
    if (!ReadAt(fd, at, bytes, 8)) return std::nullopt;
    ChunkHead head;
    std::memcpy(head.id, bytes, 4);
    ByteReader in(bytes);
    in.Skip(4);
    head.size = in.U32();
    return head;
}

bool IsChunkName(const char id[4]) {
    return std::all_of(id, id + 4, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Whether the bytes from `at` to the end are whole chunks with printable
// names (tags such as LIST or id3 after the audio), perhaps ending in a few
// stray bytes that are no chunk at all (too short, or no printable name), as
// some writers leave. A named chunk cut short is a size that does not fit.
// Zeros are no chunk and more than a few stray bytes are never ignored, so
// audio that runs on past a wrapped size is never mistaken for chunks.
bool OnlyChunksFrom(int fd, uint64_t at, uint64_t fileSize) {
    constexpr int kMostTrailingChunks = 64;
    constexpr uint64_t kMostStrayBytes = 1024;
    for (int n = 0; n < kMostTrailingChunks && at + 8 <= fileSize; ++n) {
        const auto head = ReadChunkHead(fd, at);
        if (!head) return false;
        if (!IsChunkName(head->id)) return fileSize - at <= kMostStrayBytes;
        at += 8 + uint64_t{head->size};
        if (at > fileSize) return false;
        at += head->size & 1u;
    }
    return at + 8 > fileSize;
}

// The real length of the data chunk whose body starts at `body`. `declared`
// is its stored size (or the ds64 size of an RF64 file). A last data chunk
// over 4 GiB written with 32-bit sizes keeps only the low bits of its size;
// it is recognised by running to the end with a difference of whole 4 GiB
// steps. A file that ends before its data chunk does holds the audio up to
// its end, and states more. Any other mismatch would convert part of the
// audio, so it is refused.
void MeasureData(int fd, RiffLayout& layout, uint64_t body, uint64_t declared, bool streamed, uint64_t fileSize) {
    const uint64_t present = fileSize > body ? fileSize - body : 0;
    layout.audioBytes = streamed ? present : std::min(declared, present);
    layout.statedBytes = streamed ? present : declared;
    if (streamed || declared >= present) return;
    if (!OnlyChunksFrom(fd, body + declared + (declared & 1u), fileSize) &&
               !OnlyChunksFrom(fd, body + declared, fileSize)) {  // some writers leave out the pad byte
        if ((present - declared) % (uint64_t{1} << 32) == 0)
            layout.audioBytes = present;
        else
            layout.problem = "the data chunk claims " + std::to_string(declared) + " bytes, " +
                             std::to_string(present) + " follow it";
    }
}

// Walks the chunks from offset 12, each padded to an even size, never past
// the end of the file: the first "fmt " chunk, then the first "data" chunk.
// RF64 and BW64 files (WAVs over 4 GiB) hold their real sizes in a "ds64"
// chunk first.
RiffLayout WalkChunks(int fd) {
    RiffLayout layout;
    struct stat info;
    if (::fstat(fd, &info) != 0) return layout;
    const uint64_t fileSize = static_cast<uint64_t>(info.st_size);
    uint8_t head[12];
    if (fileSize < 12 || !ReadAt(fd, 0, head, 12) || std::memcmp(head + 8, "WAVE", 4) != 0) return layout;
    const bool large = std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0;
    if (!large && std::memcmp(head, "RIFF", 4) != 0) return layout;

    std::optional<uint64_t> largeDataSize;
    for (uint64_t at = 12; at + 8 <= fileSize;) {
        const auto chunk = ReadChunkHead(fd, at);
        if (!chunk) break;
        const uint32_t size = chunk->size;
        const uint64_t body = at + 8;
        if (large && at == 12) {
            uint8_t sizes[24];
            if (std::memcmp(chunk->id, "ds64", 4) != 0 || size < 24 || !ReadAt(fd, body, sizes, 24)) {
                layout.problem = "an RF64 file without its ds64 sizes";
                return layout;
            }
            ByteReader in(sizes);
            in.Skip(8);  // the RIFF size
            largeDataSize = in.U64();
        } else if (std::memcmp(chunk->id, "fmt ", 4) == 0 && !layout.format) {
            std::array<uint8_t, 40> bytes{};
            const std::size_t wanted = std::min<uint64_t>({uint64_t{size}, uint64_t{bytes.size()}, fileSize - body});
            if (size < 16 || wanted < 16 || !ReadAt(fd, body, bytes.data(), wanted)) break;
            layout.format = ParseFormat({bytes.data(), wanted}, size);
        } else if (std::memcmp(chunk->id, "data", 4) == 0) {
            if (layout.format) {
                layout.dataOffset = body;
                layout.dataSize = size;
                const bool sized64 = large && size == 0xFFFFFFFFu;
                const bool streamed = !sized64 && (size == 0 || size == 0xFFFFFFFFu);
                MeasureData(fd, layout, body, sized64 ? *largeDataSize : size, streamed, fileSize);
            }
            break;
        }
        at = body + size + (size & 1u);
    }
    return layout;
}

// Why the engines cannot take this format, or "" when they can: what they
// divide by and size their buffers with must be sane.
std::string FormatProblem(const FormatChunk& f, bool floatAccepted) {
    const bool isFloat = floatAccepted && f.tag == kWaveFormatFloat;
    if (f.tag != kWaveFormatPcm && !isFloat) return floatAccepted ? "not PCM or float samples" : "not integer PCM";
    if (f.channels < 1 || f.channels > 8) return std::to_string(f.channels) + " channels (1 to 8 are taken)";
    if (f.sampleRate < 1000 || f.sampleRate > 768000)
        return "a sample rate of " + std::to_string(f.sampleRate) + " Hz (1000 to 768000 Hz are taken)";
    const uint16_t b = f.bitsPerSample;
    if (isFloat ? (b != 32 && b != 64) : (b != 8 && b != 16 && b != 24 && b != 32))
        return std::to_string(b) + "-bit samples";
    const unsigned frame = f.channels * (b / 8u);
    if (f.blockAlign != frame)
        return "a block align of " + std::to_string(f.blockAlign) + " for " + std::to_string(frame) +
               "-byte sample frames";
    return "";
}

// Reads the layout and fills `format` when the engines can take it.
uint32_t ReadAcceptedTags(int fd, WaveFormat& format, bool floatAccepted, std::string& reason) {
    const RiffLayout layout = WalkChunks(fd);
    if (!layout.format) {
        reason = layout.problem.empty() ? "not a WAV file" : layout.problem;
        return 0;
    }
    reason = FormatProblem(*layout.format, floatAccepted);
    if (reason.empty() && layout.dataOffset == 0) reason = "no data chunk";
    if (reason.empty()) reason = layout.problem;
    if (reason.empty() && layout.dataOffset > UINT32_MAX) reason = "the audio starts past 4 GiB";
    if (reason.empty() && ::lseek(fd, static_cast<off_t>(layout.dataOffset), SEEK_SET) < 0) reason = "the file cannot be read";
    if (!reason.empty()) return 0;
    uint8_t riffSize[4];
    ReadAt(fd, 4, riffSize, 4);

    const FormatChunk& f = *layout.format;
    WaveHeader& header = format.header;
    std::memcpy(header.riffId, "RIFF", 4);
    header.riffSize = ByteReader(riffSize).U32();
    std::memcpy(header.waveId, "WAVE", 4);
    std::memcpy(header.fmtId, "fmt ", 4);
    header.fmtSize = f.size;
    header.formatTag = f.tag;
    header.channels = f.channels;
    header.sampleRate = f.sampleRate;
    header.byteRate = f.byteRate;
    header.blockAlign = f.blockAlign;
    header.bitsPerSample = f.bitsPerSample;
    std::memcpy(header.dataId, "data", 4);
    header.dataSize = layout.dataSize;
    format.channelMask = f.channelMask;
    format.audioBytes = layout.audioBytes - layout.audioBytes % f.blockAlign;
    format.statedAudioBytes = std::max(layout.statedBytes - layout.statedBytes % f.blockAlign, format.audioBytes);
    return static_cast<uint32_t>(layout.dataOffset);
}

// The position and `format` change only when the file is accepted.
uint32_t ReadAccepted(int fd, WaveFormat& format, bool floatAccepted, std::string* reason) {
    WaveFormat read;
    std::string why;
    const uint32_t offset = ReadAcceptedTags(fd, read, floatAccepted, why);
    if (offset != 0)
        format = read;
    else if (reason)
        *reason = why;
    return offset;
}

}  // namespace

uint32_t ReadWaveHeader(int fd, WaveFormat& format, std::string* reason) {
    return ReadAccepted(fd, format, false, reason);
}

uint32_t ReadWaveFormat(int fd, WaveFormat& format, std::string* reason) {
    return ReadAccepted(fd, format, true, reason);
}

WaveHeader MakeWaveHeader(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                          uint32_t dataSize) {
    WaveHeader h;
    std::memcpy(h.riffId, "RIFF", 4);
    h.riffSize = dataSize + 36;
    std::memcpy(h.waveId, "WAVE", 4);
    std::memcpy(h.fmtId, "fmt ", 4);
    h.fmtSize = 16;
    h.formatTag = kWaveFormatPcm;
    h.channels = channels;
    h.sampleRate = sampleRate;
    h.blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    h.byteRate = h.blockAlign * sampleRate;
    h.bitsPerSample = bitsPerSample;
    std::memcpy(h.dataId, "data", 4);
    h.dataSize = dataSize;
    return h;
}

namespace {

// The header as it stands on disk, little-endian whatever the host.
std::array<uint8_t, sizeof(WaveHeader)> WaveHeaderBytes(const WaveHeader& header) {
    std::array<uint8_t, sizeof(WaveHeader)> out{};
    uint8_t* at = out.data();
    auto id = [&](const char* value) { std::memcpy(at, value, 4), at += 4; };
    auto u16 = [&](uint16_t value) { PutLE16(at, value), at += 2; };
    auto u32 = [&](uint32_t value) { PutLE32(at, value), at += 4; };
    id(header.riffId);
    u32(header.riffSize);
    id(header.waveId);
    id(header.fmtId);
    u32(header.fmtSize);
    u16(header.formatTag);
    u16(header.channels);
    u32(header.sampleRate);
    u32(header.byteRate);
    u16(header.blockAlign);
    u16(header.bitsPerSample);
    id(header.dataId);
    u32(header.dataSize);
    return out;
}

}  // namespace

bool WriteWaveHeader(ExclusiveFile& file, const WaveHeader& header) {
    const auto bytes = WaveHeaderBytes(header);
    return file.WriteAll(bytes.data(), bytes.size());
}

bool WriteSizedWaveHeader(ExclusiveFile& file, uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                          uint64_t dataBytes) {
    constexpr uint64_t kLargestRiffData = UINT32_MAX - 36;
    if (dataBytes <= kLargestRiffData)
        return WriteWaveHeader(file, MakeWaveHeader(channels, sampleRate, bitsPerSample, static_cast<uint32_t>(dataBytes)));

    const WaveHeader plain = MakeWaveHeader(channels, sampleRate, bitsPerSample, 0xFFFFFFFFu);
    const auto fields = WaveHeaderBytes(plain);
    constexpr std::size_t kDs64Bytes = 8 + 28;
    std::array<uint8_t, sizeof(WaveHeader) + kDs64Bytes> out{};
    uint8_t* at = out.data();
    std::memcpy(at, "RF64", 4);
    PutLE32(at + 4, 0xFFFFFFFFu);
    std::memcpy(at + 8, "WAVE", 4);
    at += 12;
    // ds64: RIFF size, data size, sample count (each as two 32-bit halves), no table.
    std::memcpy(at, "ds64", 4);
    PutLE32(at + 4, 28);
    auto put64 = [](uint8_t* to, uint64_t value) {
        PutLE32(to, static_cast<uint32_t>(value));
        PutLE32(to + 4, static_cast<uint32_t>(value >> 32));
    };
    put64(at + 8, dataBytes + out.size() - 8);
    put64(at + 16, dataBytes);
    put64(at + 24, dataBytes / plain.blockAlign);
    PutLE32(at + 32, 0);
    at += kDs64Bytes;
    // "fmt " and "data" as in the 44-byte form, the data size 0xFFFFFFFF.
    std::memcpy(at, fields.data() + 12, sizeof(WaveHeader) - 12);
    return file.WriteAll(out.data(), out.size());
}

bool WriteWaveHeaderPlaceholder(ExclusiveFile& file) {
    const std::array<uint8_t, sizeof(WaveHeader)> zeros{};
    return file.WriteAll(zeros.data(), zeros.size());
}

bool PatchWaveHeader(ExclusiveFile& file, const WaveHeader& header) {
    const auto bytes = WaveHeaderBytes(header);
    return file.WriteAllAt(0, bytes.data(), bytes.size());
}

std::string DescribeWaveFile(const std::string& path) {
    ExclusiveFile file(path, ExclusiveFile::kRead);
    struct stat info;
    // Only a regular file is audio; a pipe or a device would stall the list.
    if (!file.is_open() || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode)) return "File Doesnot Exist Or In Use";
    const RiffLayout layout = WalkChunks(file.fd());
    if (!layout.format) return "Not A Valid Wave File";
    const FormatChunk& f = *layout.format;
    if (f.tag != kWaveFormatPcm && f.tag != kWaveFormatFloat) return "Not A Valid PCM Wave File";
    // Mono and stereo keep their words; more channels are counted, for every
    // layout the engines convert.
    const std::string channels = f.channels == 1 ? "Mono " : f.channels == 2 ? "Stereo " : std::to_string(f.channels) + "Ch ";
    if (f.channels > 2 && !FormatProblem(f, true).empty()) return "Unrecognized Wave Format";
    return std::string(f.tag == kWaveFormatFloat ? "Float Wave " : "PCM Wave ") + channels +
           std::to_string(f.bitsPerSample) + "Bit " + std::to_string(f.sampleRate) + "Hz";
}

uint32_t SpeakerMask(const WaveFormat& format) {
    static constexpr uint32_t kUsualMasks[9] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
    const int channels = format.header.channels;
    if (std::popcount(format.channelMask) == channels) return format.channelMask;
    return channels <= 8 ? kUsualMasks[channels] : 0;
}

}  // namespace zelph
