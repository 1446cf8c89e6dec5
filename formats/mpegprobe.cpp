#include "formats/mpafile.h"
#include "formats/probes.h"
#include "formats/probetext.h"
#include "formats/readonlyfile.h"

namespace zelph {

namespace {

const char* VersionText(uint32_t version) {
    switch (version) {
        case 0: return "MPEG 2.5";
        case 2: return "MPEG 2";
        case 3: return "MPEG 1";
        default: return "MPEG";
    }
}

const char* const kLayerTexts[] = {" Layer I", " Layer II", " Layer III"};
const char* const kChannelTexts[] = {" Stereo", " JointStereo", " DualChannel", " Mono"};

}  // namespace

std::string DescribeMpegFile(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return kFileInUseText;
    try {
        const CMPAFile mpeg(path, 0, &file);
        const CMPAHeader& frame = mpeg.frame();
        return std::string(VersionText(frame.version)) + kLayerTexts[frame.layer] + kChannelTexts[frame.channelMode] +
               FormatDescription(" %uKbps %uHz", frame.bitrate / 1000, frame.samplingRate);
    } catch (const CMPAException&) {
        return "Not a Valid MPEG File";
    }
}

}  // namespace zelph
