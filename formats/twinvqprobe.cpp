#include <array>

#include "formats/bytereader.h"
#include "formats/probes.h"
#include "formats/probetext.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

// File tag, version text, first chunk tag, its size, then the three fields.
constexpr std::size_t kHeaderSize = 20 + 4 + 3 * 4;

// The sum of the four bytes taken as signed 8-bit numbers: for the small
// big-endian numbers TwinVQ stores, this is the number itself.
int32_t SignedByteSum(ByteReader& in) {
    int32_t sum = 0;
    for (int i = 0; i < 4; ++i) sum += static_cast<int8_t>(in.U8());
    return sum;
}

}  // namespace

std::string DescribeTwinVqFile(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return kFileInUseText;

    std::array<uint8_t, kHeaderSize> header{};
    const std::size_t got = file.ReadAt(0, header.data(), header.size()).value_or(0);
    ByteReader in({header.data(), got});
    const bool twin = in.Tag("TWIN");
    in.Skip(12);  // version text
    const bool comm = in.Tag("COMM");
    if (!twin || !comm) return "Not A Valid TwinVQ File";

    in.Skip(4);  // chunk size
    const int32_t mode = SignedByteSum(in);
    const int32_t bitrate = SignedByteSum(in);
    const int32_t rate = SignedByteSum(in);
    if (!in.ok() || (mode != 0 && mode != 1)) return "Not A Valid TwinVQ File";
    return FormatDescription(mode == 0 ? "TwinVQ Mono %dKbps %dKHz" : "TwinVQ Stereo %dKbps %dKHz", bitrate, rate);
}

}  // namespace zelph
