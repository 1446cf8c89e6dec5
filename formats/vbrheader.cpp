#include "formats/vbrheader.h"

#include "formats/mpafile.h"

namespace zelph {

namespace {

constexpr uint32_t kSingleChannel = 3;
constexpr uint32_t kXingSeekEntries = 100;
constexpr uint32_t kVBRIFixedPart = 26;  // tag to the end of frames per entry
constexpr uint32_t kMaxVBRIEntrySize = 4;

enum XingFlags : uint32_t { kFramesField = 1, kBytesField = 2, kSeekTableField = 4, kQualityField = 8 };

uint32_t Tag(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
           uint8_t(text[3]);
}

uint32_t XingPosition(const CMPAHeader& frame) {
    return XingTagOffset(frame.lsf != 0, frame.channelMode == kSingleChannel);
}

bool IsXingTag(uint32_t word) { return word == Tag("Xing") || word == Tag("Info"); }

}  // namespace

uint32_t XingTagOffset(bool lowSamplingFrequency, bool mono) {
    if (lowSamplingFrequency) return mono ? 13 : 21;
    return mono ? 21 : 36;
}

std::optional<VBRHeaderPlace> FindVBRHeader(CMPAFile& file, uint32_t frameOffset) {
    const uint32_t xing = frameOffset + XingPosition(file.frame());
    if (IsXingTag(file.GetBytes(xing, 4))) return VBRHeaderPlace{CVBRHeader::kXing, xing};
    const uint32_t vbri = frameOffset + kVBRITagOffset;
    if (file.GetBytes(vbri, 4) == Tag("VBRI")) return VBRHeaderPlace{CVBRHeader::kVBRI, vbri};
    return std::nullopt;
}

CVBRHeader::CVBRHeader(CMPAFile& file, uint32_t kind, uint32_t offset) : file_(file), kind_(kind), offset_(offset) {
    const uint32_t tag = file.GetBytes(offset, 4);
    if (kind == kXing && IsXingTag(tag))
        ReadXing(offset + 4);
    else if (kind == kVBRI && tag == Tag("VBRI"))
        ReadVBRI(offset + 4);
    else
        throw CMPAException(CMPAException::kNoVBRHeader);

    const CMPAHeader& frame = file.frame();
    if (bytes_ == 0 || frames_ == 0 || frame.samplingRate == 0)
        throw CMPAException(CMPAException::kIncompleteVBRHeader);
    seconds_ = static_cast<uint32_t>(uint64_t{frames_} * frame.samplesPerFrame / frame.samplingRate);
    if (seconds_ != 0) bytesPerSecond_ = bytes_ / seconds_;
}

void CVBRHeader::RequireBytes(uint32_t at, uint64_t count) const {
    if (uint64_t{at} + count > file_.available())
        throw CMPAException(CMPAException::kIncompleteVBRHeader);
}

void CVBRHeader::ReadXing(uint32_t at) {
    RequireBytes(at, 4);
    const uint32_t flags = file_.ReadBytes(at, 4);
    const uint32_t announced = (flags & kFramesField ? 4 : 0) + (flags & kBytesField ? 4 : 0) +
                               (flags & kSeekTableField ? kXingSeekEntries : 0) + (flags & kQualityField ? 4 : 0);
    RequireBytes(at, announced);
    if (flags & kFramesField) frames_ = file_.ReadBytes(at, 4);
    if (flags & kBytesField) bytes_ = file_.ReadBytes(at, 4);
    if (flags & kSeekTableField) {
        seekTable_.resize(kXingSeekEntries);
        for (uint32_t& entry : seekTable_) entry = file_.ReadBytes(at, 1);
    }
    if (flags & kQualityField) quality_ = static_cast<int32_t>(file_.ReadBytes(at, 4));
}

void CVBRHeader::ReadVBRI(uint32_t at) {
    RequireBytes(at, kVBRIFixedPart - 4);
    version_ = file_.ReadBytes(at, 2);
    delay_ = static_cast<float>(file_.ReadBytes(at, 2));
    quality_ = static_cast<int32_t>(file_.ReadBytes(at, 2));
    bytes_ = file_.ReadBytes(at, 4);
    frames_ = file_.ReadBytes(at, 4);
    const uint32_t entries = file_.ReadBytes(at, 2) + 1;
    scaleFactor_ = file_.ReadBytes(at, 2);
    entrySize_ = file_.ReadBytes(at, 2);
    framesPerEntry_ = file_.ReadBytes(at, 2);
    // Entries are combined into 32 bits, and the table must be in the file
    // before any of it is allocated.
    if (entrySize_ == 0 || entrySize_ > kMaxVBRIEntrySize)
        throw CMPAException(CMPAException::kIncompleteVBRHeader);
    RequireBytes(at, uint64_t{entries} * entrySize_);
    seekTable_.resize(entries);
    for (uint32_t& entry : seekTable_) entry = file_.ReadBytes(at, entrySize_);
}

}  // namespace zelph
