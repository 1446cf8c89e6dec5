#include <array>
#include <span>

#include "formats/bytereader.h"
#include "formats/flacprobe.h"
#include "formats/oggpage.h"
#include "formats/probes.h"
#include "formats/probetext.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

constexpr std::size_t kId3HeaderSize = 10;
constexpr uint8_t kId3FooterFlag = 0x10;
// "fLaC", the first block's header (type 0, the stream information, and its
// length), then the stream information's first 18 bytes.
constexpr std::size_t kStreamInfoStart = 4 + 4 + 18;
// Ogg FLAC's first packet: 0x7F "FLAC", version, header count, then the above.
constexpr std::size_t kOggMappingSize = 1 + 4 + 2 + 2;
constexpr uint8_t kStreamInfoType = 0;

// Where a native stream starts: after an ID3v2 tag, if the file has one.
uint64_t StreamStart(const ReadOnlyFile& file) {
    std::array<uint8_t, kId3HeaderSize> tag{};
    ByteReader in({tag.data(), file.ReadAt(0, tag.data(), tag.size()).value_or(0)});
    if (!in.Tag("ID3")) return 0;
    in.Skip(2);  // version
    const uint8_t flags = in.U8();
    const auto size = in.Bytes(4);
    if (!in.ok()) return 0;
    uint64_t length = 0;
    for (uint8_t b : size) length = length << 7 | (b & 0x7F);  // seven bits a byte
    return kId3HeaderSize + length + ((flags & kId3FooterFlag) ? kId3HeaderSize : 0);
}

// The bytes from "fLaC" on, native or in Ogg; empty when neither.
std::span<const uint8_t> StreamHead(const ReadOnlyFile& file, std::array<uint8_t, kOggMappingSize + kStreamInfoStart>& buffer) {
    const std::size_t ogg = ReadFirstOggPacket(file, buffer);
    ByteReader mapping({buffer.data(), ogg});
    if (mapping.U8() == 0x7F && mapping.Tag("FLAC") && mapping.Skip(4))
        return std::span<const uint8_t>(buffer).subspan(kOggMappingSize, ogg - kOggMappingSize);
    const std::size_t got = file.ReadAt(StreamStart(file), buffer.data(), kStreamInfoStart).value_or(0);
    return {buffer.data(), got};
}

}  // namespace

std::string DescribeFlacFile(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return kFileInUseText;

    std::array<uint8_t, kOggMappingSize + kStreamInfoStart> buffer{};
    ByteReader in(StreamHead(file, buffer));
    if (!in.Tag("fLaC") || (in.U8() & 0x7F) != kStreamInfoType) return "Not A Valid FLAC File";
    in.Skip(3 + 10);  // block length; block and frame size bounds
    // 20 bits of rate, 3 of channels - 1, 5 of bits - 1, big-endian.
    const auto packed = in.Bytes(4);
    if (!in.ok()) return "Not A Valid FLAC File";
    const unsigned rate = unsigned{packed[0]} << 12 | unsigned{packed[1]} << 4 | packed[2] >> 4;
    const unsigned channels = ((packed[2] >> 1) & 0x7) + 1;
    const unsigned bits = ((packed[2] & 0x1) << 4 | packed[3] >> 4) + 1;
    if (channels > 2) return "Unrecognized FLAC Format";
    return FormatDescription(channels == 1 ? "FLAC Mono %uBit %uHz" : "FLAC Stereo %uBit %uHz", bits, rate);
}

std::optional<uint64_t> FlacAudioExtent(const ReadOnlyFile& file) {
    std::array<uint8_t, 4> header{};
    const auto read = [&](uint64_t offset) { return file.ReadAt(offset, header.data(), header.size()) == header.size(); };
    if (!read(0) || !ByteReader(header).Tag("fLaC")) return std::nullopt;
    uint64_t offset = 4;
    for (bool last = false; !last;) {
        if (!read(offset)) return std::nullopt;
        const uint32_t block = ByteReader(header).BE32();  // last flag, type, then the 24-bit length
        last = (block & 0x80000000u) != 0;
        offset += 4 + (block & 0xFFFFFFu);
    }
    if (offset >= file.size()) return std::nullopt;
    return file.size() - offset;
}

}  // namespace zelph
