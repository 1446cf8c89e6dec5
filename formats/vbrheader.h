#pragma once
// The VBR headers an encoder leaves in the first frame of an MPEG audio
// stream: Xing (or "Info", the same layout in a constant-bitrate file) and
// VBRI. They state the stream's frames and bytes, and carry a seek table.

#include <cstdint>
#include <optional>
#include <vector>

namespace zelph {

class CMPAFile;

struct VBRHeaderPlace {
    uint32_t kind;    // CVBRHeader::kXing or kVBRI
    uint32_t offset;  // of the tag, relative to the file's begin
};

// Where a Xing or Info tag starts in its frame: behind the header and the
// side information, whose size depends on the MPEG version and the mode.
uint32_t XingTagOffset(bool lowSamplingFrequency, bool mono);
constexpr uint32_t kVBRITagOffset = 36;

// Looks for a tag where the first frame's kind of stream puts it. Throws
// only when the file can't be read.
std::optional<VBRHeaderPlace> FindVBRHeader(CMPAFile& file, uint32_t frameOffset);

class CVBRHeader {
public:
    static constexpr uint32_t kXing = 1;
    static constexpr uint32_t kVBRI = 2;

    // Throws CMPAException kNoVBRHeader or kIncompleteVBRHeader.
    CVBRHeader(CMPAFile& file, uint32_t kind, uint32_t offset);

    uint32_t bytesPerSecond() const { return bytesPerSecond_; }
    uint32_t bytes() const { return bytes_; }
    uint32_t frames() const { return frames_; }
    // Stated length in whole seconds; 0 leaves bytesPerSecond() undefined (0).
    uint32_t seconds() const { return seconds_; }
    int32_t quality() const { return quality_; }
    const std::vector<uint32_t>& seekTable() const { return seekTable_; }
    uint32_t kind() const { return kind_; }
    uint32_t offset() const { return offset_; }
    // VBRI only.
    float delay() const { return delay_; }
    uint32_t scaleFactor() const { return scaleFactor_; }
    uint32_t entrySize() const { return entrySize_; }
    uint32_t framesPerEntry() const { return framesPerEntry_; }
    uint32_t version() const { return version_; }

private:
    void ReadXing(uint32_t at);
    void ReadVBRI(uint32_t at);
    // Throws kIncompleteVBRHeader unless `count` bytes from `at` lie in the file.
    void RequireBytes(uint32_t at, uint64_t count) const;

    uint32_t bytesPerSecond_ = 0;
    uint32_t bytes_ = 0;
    uint32_t frames_ = 0;
    uint32_t seconds_ = 0;
    CMPAFile& file_;
    uint32_t kind_;
    uint32_t offset_;
    int32_t quality_ = -1;
    std::vector<uint32_t> seekTable_;
    float delay_ = 0;
    uint32_t scaleFactor_ = 0;
    uint32_t entrySize_ = 0;
    uint32_t framesPerEntry_ = 0;
    uint32_t version_ = 0;
};

}  // namespace zelph
