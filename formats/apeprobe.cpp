#include <array>

#include "formats/bytereader.h"
#include "formats/probes.h"
#include "formats/probetext.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

constexpr uint16_t kFirstSupportedVersion = 3990;
// The stream header is taken to follow a 52-byte descriptor.
constexpr uint64_t kStreamHeaderOffset = 52;
constexpr std::size_t kStreamHeaderSize = 24;

}  // namespace

std::string DescribeApeFile(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return kFileInUseText;

    std::array<uint8_t, 6> start{};
    const std::size_t got = file.ReadAt(0, start.data(), start.size()).value_or(0);
    ByteReader head({start.data(), got});
    if (!head.Tag("MAC ")) return "Not A Valid MonkeysAudio File";
    const uint16_t version = head.U16();
    if (head.ok() && version < kFirstSupportedVersion) return "MonkeysAudio Old Format Not Supported";

    std::array<uint8_t, kStreamHeaderSize> stream{};
    const std::size_t streamGot = file.ReadAt(kStreamHeaderOffset, stream.data(), stream.size()).value_or(0);
    ByteReader in({stream.data(), streamGot});
    in.Skip(16);  // compression level, format flags, blocks per frame, final frame blocks, total frames
    const uint16_t bits = in.U16();
    const uint16_t channels = in.U16();
    const uint32_t rate = in.U32();
    if (!in.ok() || (channels != 1 && channels != 2)) return "Unrecognized MonkeysAudio Format";
    return FormatDescription(channels == 1 ? "MonkeysAudio Mono %uBit %uHz" : "MonkeysAudio Stereo %uBit %uHz",
                             unsigned{bits}, unsigned{rate});
}

}  // namespace zelph
