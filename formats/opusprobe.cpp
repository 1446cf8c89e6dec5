#include <array>

#include "formats/bytereader.h"
#include "formats/oggpage.h"
#include "formats/probes.h"
#include "formats/probetext.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {
// "OpusHead", version, channel count.
constexpr std::size_t kHeadStart = 8 + 1 + 1;
// Whatever rate it was made from, Opus decodes at 48 kHz, and so do we.
constexpr unsigned kOpusRate = 48000;
}  // namespace

std::string DescribeOpusFile(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return kFileInUseText;

    std::array<uint8_t, kHeadStart> head{};
    ByteReader in({head.data(), ReadFirstOggPacket(file, head)});
    if (!in.Tag("OpusHead")) return "Not A Valid Opus File";
    in.Skip(1);  // version
    const uint8_t channels = in.U8();
    if (!in.ok() || (channels != 1 && channels != 2)) return "Unrecognized Opus Format";
    return FormatDescription(channels == 1 ? "Opus Mono %uHz" : "Opus Stereo %uHz", kOpusRate);
}

}  // namespace zelph
