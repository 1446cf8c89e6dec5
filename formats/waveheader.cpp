#include "formats/waveheader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

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
    uint32_t dataSize = 0;
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

// Walks the chunks from offset 12, each padded to an even size, never past
// the end of the file: the first "fmt " chunk, then the first "data" chunk.
RiffLayout WalkChunks(int fd) {
    RiffLayout layout;
    struct stat info;
    if (::fstat(fd, &info) != 0) return layout;
    const uint64_t fileSize = static_cast<uint64_t>(info.st_size);
    uint8_t head[12];
    if (fileSize < 12 || !ReadAt(fd, 0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return layout;

    for (uint64_t at = 12; at + 8 <= fileSize;) {
        uint8_t chunk[8];
        if (!ReadAt(fd, at, chunk, 8)) break;
        ByteReader in(chunk);
        in.Skip(4);
        const uint32_t size = in.U32();
        const uint64_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !layout.format) {
            std::array<uint8_t, 40> bytes{};
            const std::size_t wanted = std::min<uint64_t>({uint64_t{size}, uint64_t{bytes.size()}, fileSize - body});
            if (size < 16 || wanted < 16 || !ReadAt(fd, body, bytes.data(), wanted)) break;
            layout.format = ParseFormat({bytes.data(), wanted}, size);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (layout.format) {
                layout.dataOffset = body;
                layout.dataSize = size;
            }
            break;
        }
        at = body + size + (size & 1u);
    }
    return layout;
}

// Reads the layout and fills `format` when the tag is one the caller takes.
uint32_t ReadAcceptedTags(int fd, WaveFormat& format, bool floatAccepted) {
    const RiffLayout layout = WalkChunks(fd);
    const bool accepted = layout.format && (layout.format->tag == kWaveFormatPcm ||
                                            (floatAccepted && layout.format->tag == kWaveFormatFloat));
    if (!accepted || layout.dataOffset == 0 || layout.dataOffset > UINT32_MAX) return 0;
    if (::lseek(fd, static_cast<off_t>(layout.dataOffset), SEEK_SET) < 0) return 0;
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
    return static_cast<uint32_t>(layout.dataOffset);
}

}  // namespace

uint32_t ReadWaveHeader(int fd, WaveHeader& header) {
    WaveFormat format;
    const uint32_t offset = ReadAcceptedTags(fd, format, false);
    if (offset != 0) header = format.header;
    return offset;
}

uint32_t ReadWaveFormat(int fd, WaveFormat& format) {
    WaveFormat read;
    const uint32_t offset = ReadAcceptedTags(fd, read, true);
    if (offset != 0) format = read;
    return offset;
}

uint64_t AudioBytesOf(const WaveHeader& header, uint64_t dataOffset, uint64_t fileSize) {
    const uint64_t present = fileSize > dataOffset ? fileSize - dataOffset : 0;
    const bool streamed = header.dataSize == 0 || header.dataSize == 0xFFFFFFFFu;
    const uint64_t bytes = streamed ? present : std::min<uint64_t>(header.dataSize, present);
    const uint64_t frame = header.blockAlign ? header.blockAlign : 1;
    return bytes - bytes % frame;
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
    if (f.channels != 1 && f.channels != 2) return "Unrecognized Wave Format";
    return std::string(f.tag == kWaveFormatFloat ? "Float Wave " : "PCM Wave ") + (f.channels == 1 ? "Mono " : "Stereo ") +
           std::to_string(f.bitsPerSample) + "Bit " + std::to_string(f.sampleRate) + "Hz";
}

}  // namespace zelph
