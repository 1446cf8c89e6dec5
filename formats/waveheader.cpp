#include "formats/waveheader.h"

#include <cstring>
#include <optional>
#include <span>

#include "formats/bytereader.h"

namespace zelph {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM as it is stored.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint32_t kBasicFormatSize = 16;
constexpr uint32_t kExtensibleFormatSize = 40;
constexpr uint64_t kFirstChunkOffset = 12;

void CopyId(char (&to)[4], const char* from) { std::memcpy(to, from, 4); }

struct Chunk {
    char id[4];
    uint32_t size;
    uint64_t bodyOffset;
};

struct Format {
    uint32_t fmtSize;
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    bool pcm;
};

// The RIFF size when the file starts with "RIFF" .... "WAVE".
std::optional<uint32_t> ReadRiffStart(File& file) {
    uint8_t bytes[kFirstChunkOffset];
    if (!file.Seek(0) || !file.ReadExact(bytes, sizeof bytes)) return std::nullopt;
    ByteReader in(bytes);
    const bool riff = in.Tag("RIFF");
    const uint32_t riffSize = in.U32();
    if (!riff || !in.Tag("WAVE")) return std::nullopt;
    return riffSize;
}

// Reads the chunk header at `offset` and moves `offset` past the chunk and
// its pad byte. Nothing when the header does not lie wholly in the file.
std::optional<Chunk> NextChunk(File& file, uint64_t fileSize, uint64_t& offset) {
    uint8_t bytes[8];
    if (offset + sizeof bytes > fileSize || !file.Seek(offset) ||
        !file.ReadExact(bytes, sizeof bytes)) {
        return std::nullopt;
    }
    ByteReader in(bytes);
    Chunk chunk;
    std::memcpy(chunk.id, in.Bytes(4).data(), 4);
    chunk.size = in.U32();
    chunk.bodyOffset = offset + sizeof bytes;
    offset = chunk.bodyOffset + chunk.size + (chunk.size & 1u);
    return chunk;
}

bool IsChunk(const Chunk& chunk, const char* id) { return std::memcmp(chunk.id, id, 4) == 0; }

std::optional<Format> ParseFormat(File& file, uint64_t fileSize, const Chunk& chunk) {
    if (chunk.size < kBasicFormatSize || chunk.bodyOffset + chunk.size > fileSize) return std::nullopt;
    uint8_t bytes[kExtensibleFormatSize];
    const std::size_t want = chunk.size < kExtensibleFormatSize ? chunk.size : kExtensibleFormatSize;
    if (!file.Seek(chunk.bodyOffset) || !file.ReadExact(bytes, want)) return std::nullopt;

    ByteReader in(std::span<const uint8_t>(bytes, want));
    Format format;
    format.fmtSize = chunk.size;
    format.formatTag = in.U16();
    format.channels = in.U16();
    format.sampleRate = in.U32();
    format.byteRate = in.U32();
    format.blockAlign = in.U16();
    format.bitsPerSample = in.U16();
    format.pcm = format.formatTag == kFormatPcm;
    if (format.formatTag == kFormatExtensible) {
        const uint16_t extraSize = in.U16();
        in.Skip(6);  // valid bits, channel mask
        const auto subFormat = in.Bytes(sizeof kPcmSubFormat);
        format.pcm = in.ok() && extraSize >= 22 &&
                     std::memcmp(subFormat.data(), kPcmSubFormat, sizeof kPcmSubFormat) == 0;
        if (format.pcm) format.formatTag = kFormatPcm;
    }
    return format;
}

// The first "fmt " chunk after the RIFF header; `offset` ends past it.
std::optional<Format> FindFormat(File& file, uint64_t fileSize, uint64_t& offset) {
    offset = kFirstChunkOffset;
    while (auto chunk = NextChunk(file, fileSize, offset)) {
        if (IsChunk(*chunk, "fmt ")) return ParseFormat(file, fileSize, *chunk);
    }
    return std::nullopt;
}

std::optional<Chunk> FindChunk(File& file, uint64_t fileSize, uint64_t& offset, const char* id) {
    while (auto chunk = NextChunk(file, fileSize, offset)) {
        if (IsChunk(*chunk, id)) return chunk;
    }
    return std::nullopt;
}

// The accepted header and its data offset, or nothing; moves the file.
std::optional<std::pair<WaveHeader, uint32_t>> FindPcmLayout(File& file) {
    const auto fileSize = file.Size();
    if (!fileSize) return std::nullopt;
    const auto riffSize = ReadRiffStart(file);
    if (!riffSize) return std::nullopt;
    uint64_t offset = 0;
    const auto format = FindFormat(file, *fileSize, offset);
    if (!format || !format->pcm) return std::nullopt;
    const auto data = FindChunk(file, *fileSize, offset, "data");
    if (!data || data->bodyOffset > UINT32_MAX) return std::nullopt;

    WaveHeader header;
    CopyId(header.riffId, "RIFF");
    header.riffSize = *riffSize;
    CopyId(header.waveId, "WAVE");
    CopyId(header.fmtId, "fmt ");
    header.fmtSize = format->fmtSize;
    header.formatTag = format->formatTag;
    header.channels = format->channels;
    header.sampleRate = format->sampleRate;
    header.byteRate = format->byteRate;
    header.blockAlign = format->blockAlign;
    header.bitsPerSample = format->bitsPerSample;
    CopyId(header.dataId, "data");
    header.dataSize = data->size;
    return std::pair{header, static_cast<uint32_t>(data->bodyOffset)};
}

}  // namespace

uint32_t ReadWaveHeader(File& file, WaveHeader& header) {
    const auto entry = file.Position();
    if (!entry) return 0;
    const auto layout = FindPcmLayout(file);
    if (!layout || !file.Seek(layout->second)) {
        file.Seek(*entry);
        return 0;
    }
    header = layout->first;
    return layout->second;
}

WaveHeader MakeWaveHeader(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample,
                          uint32_t dataSize) {
    WaveHeader header;
    CopyId(header.riffId, "RIFF");
    header.riffSize = dataSize + 36;
    CopyId(header.waveId, "WAVE");
    CopyId(header.fmtId, "fmt ");
    header.fmtSize = kBasicFormatSize;
    header.formatTag = kFormatPcm;
    header.channels = channels;
    header.sampleRate = sampleRate;
    header.blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    header.byteRate = header.blockAlign * sampleRate;
    header.bitsPerSample = bitsPerSample;
    CopyId(header.dataId, "data");
    header.dataSize = dataSize;
    return header;
}

std::array<uint8_t, kWaveHeaderSize> WaveHeaderBytes(const WaveHeader& header) {
    std::array<uint8_t, kWaveHeaderSize> out{};
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

bool WriteWaveHeader(File& file, const WaveHeader& header) {
    const auto bytes = WaveHeaderBytes(header);
    return file.WriteAll(bytes.data(), bytes.size());
}

bool WriteWaveHeaderPlaceholder(File& file) {
    const std::array<uint8_t, kWaveHeaderSize> zeros{};
    return file.WriteAll(zeros.data(), zeros.size());
}

bool PatchWaveHeader(File& file, const WaveHeader& header) {
    const auto end = file.Size();
    return end && file.Seek(0) && WriteWaveHeader(file, header) && file.Seek(*end);
}

std::string DescribeWaveFile(const std::string& path) {
    File file = File::OpenRead(path);
    if (!file.isOpen()) return "File Doesnot Exist Or In Use";
    const auto fileSize = file.Size();
    if (!fileSize || !ReadRiffStart(file)) return "Not A Valid Wave File";
    uint64_t offset = 0;
    const auto format = FindFormat(file, *fileSize, offset);
    if (!format || !format->pcm) return "Not A Valid PCM Wave File";
    const std::string details =
        std::to_string(format->bitsPerSample) + "Bit " + std::to_string(format->sampleRate) + "Hz";
    if (format->channels == 1) return "PCM Wave Mono " + details;
    if (format->channels == 2) return "PCM Wave Stereo " + details;
    return "Unrecognized Wave Format";
}

}  // namespace zelph
