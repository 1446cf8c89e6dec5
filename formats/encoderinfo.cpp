#include "formats/encoderinfo.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/bytereader.h"
#include "formats/mpafile.h"
#include "formats/readonlyfile.h"
#include "formats/vbrheader.h"

namespace zelph {

namespace {

enum XingFlags : uint32_t { kFramesField = 1, kBytesField = 2, kSeekTableField = 4, kQualityField = 8 };
constexpr std::size_t kSeekTableSize = 100;
constexpr std::size_t kEncoderNameSize = 9;
// From the encoder's name to the 24 bits holding delay and padding: version,
// lowpass, peak, two gains, flags and bitrate.
constexpr std::size_t kNameToDelay = 21;
constexpr uint32_t kVBRIFramesAt = 14;  // "VBRI" to its frame count

uint32_t BigEndian(std::span<const uint8_t> bytes) {
    uint32_t value = 0;
    for (uint8_t b : bytes) value = value << 8 | b;
    return value;
}

// LAME and the encoders that copy its tag (FFmpeg's "Lavc") start it with a
// readable name; a plain Xing tag is followed by zeros or audio bytes.
bool IsEncoderName(std::span<const uint8_t> name) {
    if (name.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (!std::isalnum(name[i])) return false;
    return true;
}

EncoderInfoFrame ReadXing(ByteReader& in) {
    EncoderInfoFrame info;
    const uint32_t flags = in.BE32();
    if (flags & kFramesField) info.frames = in.BE32();
    if (flags & kBytesField) in.Skip(4);
    if (flags & kSeekTableField) in.Skip(kSeekTableSize);
    if (flags & kQualityField) in.Skip(4);
    if (!in.ok()) return {};
    const std::span<const uint8_t> name = in.Bytes(kEncoderNameSize);
    if (!in.ok() || !IsEncoderName(name)) return info;
    in.Skip(kNameToDelay - kEncoderNameSize);
    const std::span<const uint8_t> gap = in.Bytes(3);
    if (!in.ok()) return info;
    const uint32_t packed = BigEndian(gap);
    info.delay = packed >> 12;
    info.padding = packed & 0xFFF;
    return info;
}

bool TagAt(std::span<const uint8_t> frame, std::size_t offset, std::string_view tag) {
    return frame.size() >= offset + tag.size() && std::memcmp(frame.data() + offset, tag.data(), tag.size()) == 0;
}

}  // namespace

std::optional<EncoderInfoFrame> ReadEncoderInfoFrame(std::span<const uint8_t> frame) {
    if (frame.size() < 4) return std::nullopt;
    const uint32_t header = BigEndian(frame.first(4));
    const bool mpeg1 = ((header >> 19) & 3) == 3;
    const bool mono = ((header >> 6) & 3) == 3;
    const std::size_t xing = XingTagOffset(!mpeg1, mono);
    if (TagAt(frame, xing, "Xing") || TagAt(frame, xing, "Info")) {
        ByteReader fields(frame.subspan(xing + 4));
        return ReadXing(fields);
    }
    if (TagAt(frame, kVBRITagOffset, "VBRI")) {
        if (frame.size() < kVBRITagOffset + kVBRIFramesAt + 4) return EncoderInfoFrame{};
        ByteReader count(frame.subspan(kVBRITagOffset + kVBRIFramesAt));
        return EncoderInfoFrame{count.BE32(), std::nullopt, std::nullopt};
    }
    return std::nullopt;
}

bool StatesEncoderPadding(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return false;
    uint64_t at = 0;
    std::vector<uint8_t> bytes(4096);
    for (;;) {
        const std::size_t got = file.ReadAt(at, bytes.data(), bytes.size()).value_or(0);
        const std::optional<uint64_t> tag = Id3v2TagLength({bytes.data(), got});
        if (!tag) {
            const std::optional<EncoderInfoFrame> info = ReadEncoderInfoFrame({bytes.data(), got});
            return info && info->delay && info->padding;
        }
        at += *tag;
    }
}

}  // namespace zelph
