#include <array>
#include <cstring>

#include "formats/bytereader.h"
#include "formats/oggpage.h"
#include "formats/probes.h"
#include "formats/probetext.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

// Header type and "vorbis", version, channels, rate and three bitrates.
constexpr std::size_t kIdentificationSize = 7 + 4 + 1 + 4 * 4;
constexpr uint8_t kIdentificationHeader = 1;

const char* Pick(bool mono, const char* monoText, const char* stereoText) { return mono ? monoText : stereoText; }

std::string DescribeRates(bool mono, int32_t rate, int32_t maximum, int32_t nominal, int32_t minimum) {
    if (maximum == 0 && nominal == 0 && minimum == 0)
        return FormatDescription(Pick(mono, "OggVorbis Mono %dHz", "OggVorbis Stereo %dHz"), rate);
    const char* format;
    if (maximum == nominal && nominal == minimum)
        format = Pick(mono, "OggVorbis CBR Mono %dKbps %dHz", "OggVorbis CBR Stereo %dKbps %dHz");
    else if (maximum == 0 && minimum == 0)
        format = Pick(mono, "OggVorbis VBR Mono %dKbps %dHz", "OggVorbis VBR Stereo %dKbps %dHz");
    else
        format = Pick(mono, "OggVorbis ABR Mono %dKbps %dHz", "OggVorbis ABR Stereo %dKbps %dHz");
    return FormatDescription(format, nominal / 1000, rate);
}

}  // namespace

std::string DescribeOggFile(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return kFileInUseText;

    std::array<uint8_t, kIdentificationSize> packet{};
    ByteReader in({packet.data(), ReadFirstOggPacket(file, packet)});
    const uint8_t type = in.U8();
    if (!in.Tag("vorbis") || type != kIdentificationHeader) return "Not A Valid OggVorbis File";

    in.Skip(4);  // Vorbis version
    const uint8_t channels = in.U8();
    const int32_t rate = in.S32(), maximum = in.S32(), nominal = in.S32(), minimum = in.S32();
    if (!in.ok() || (channels != 1 && channels != 2)) return "Unrecognized OggVorbis Format";
    return DescribeRates(channels == 1, rate, maximum, nominal, minimum);
}

}  // namespace zelph
