#include "formats/oggpage.h"

#include <array>

#include "formats/bytereader.h"

namespace zelph {

namespace {
constexpr std::size_t kPageHeaderSize = 27;
constexpr std::size_t kSegmentCountAt = 26;
}  // namespace

std::size_t ReadFirstOggPacket(const ReadOnlyFile& file, std::span<uint8_t> packet) {
    std::array<uint8_t, kPageHeaderSize> page{};
    const std::size_t got = file.ReadAt(0, page.data(), page.size()).value_or(0);
    if (got < kPageHeaderSize || !ByteReader({page.data(), 4}).Tag("OggS")) return 0;
    // The segment table is skipped whatever its length (at most 255 bytes).
    return file.ReadAt(kPageHeaderSize + page[kSegmentCountAt], packet.data(), packet.size()).value_or(0);
}

}  // namespace zelph
