#include "formats/wavpackblocks.h"

#include <array>

#include "formats/bytereader.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

constexpr std::size_t kHeaderBytes = 32;
constexpr uint32_t kInitialBlock = 0x800;
constexpr uint32_t kUnknownTotal = 0xFFFFFFFFu;

struct BlockHeader {
    uint64_t bytes;  // the whole block's
    uint64_t total;  // the stream's sample frames, or kUnknownTotal
    uint64_t index, samples;
    bool initial;    // the first block of a frame of several channels' blocks
};

std::optional<BlockHeader> ReadBlockHeader(const ReadOnlyFile& file, uint64_t offset) {
    std::array<uint8_t, kHeaderBytes> bytes{};
    if (file.ReadAt(offset, bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
    ByteReader reader(bytes);
    if (!reader.Tag("wvpk")) return std::nullopt;
    BlockHeader header{};
    header.bytes = uint64_t{reader.U32()} + 8;
    reader.Skip(2);  // version
    const uint64_t indexHigh = reader.U8(), totalHigh = reader.U8();
    const uint32_t total = reader.U32();
    header.index = reader.U32() | (indexHigh << 32);
    header.samples = reader.U32();
    header.initial = (reader.U32() & kInitialBlock) != 0;
    // The 40-bit total leaves out every value whose low 32 bits are all ones.
    header.total = total == kUnknownTotal ? kUnknownTotal : total + (totalHigh << 32) - totalHigh;
    if (header.bytes < kHeaderBytes) return std::nullopt;
    return header;
}

bool StartsWithTag(const ReadOnlyFile& file, uint64_t offset) {
    std::array<uint8_t, 8> bytes{};
    const std::optional<std::size_t> got = file.ReadAt(offset, bytes.data(), bytes.size());
    if (!got || *got < 3) return false;
    ByteReader reader(std::span<const uint8_t>(bytes.data(), *got));
    if (reader.Tag("TAG")) return file.size() - offset == 128;
    ByteReader ape(bytes);
    return *got == bytes.size() && ape.Tag("APETAGEX");
}

}  // namespace

std::optional<uint64_t> WavPackAudioExtent(const ReadOnlyFile& file) {
    std::optional<uint64_t> total;
    uint64_t frames = 0;
    uint64_t offset = 0;
    while (offset < file.size()) {
        const std::optional<BlockHeader> block = ReadBlockHeader(file, offset);
        if (!block) {
            if (!total || !StartsWithTag(file, offset)) return std::nullopt;
            break;
        }
        if (!total) total = block->total;
        // Frames follow each other without a gap; a block of no samples
        // carries only metadata (a checksum, a source's header).
        if (block->initial && block->samples > 0) {
            if (block->index != frames) return std::nullopt;
            frames += block->samples;
        }
        offset += block->bytes;
        if (offset > file.size()) return std::nullopt;
    }
    if (!total || *total != frames) return std::nullopt;
    return frames;
}

}  // namespace zelph
