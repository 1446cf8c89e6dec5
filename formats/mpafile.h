#pragma once
// MPEG audio (MPEG 1, 2 and 2.5; Layers I-III): finds the first valid frame
// of a file and decodes its header. CMPAException is the module's one
// exception type; it never leaves the MPEG probe.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/readonlyfile.h"

namespace zelph {

class CVBRHeader;

// The ID3v2 tag header: "ID3", version, revision, flags, 28-bit syncsafe size.
inline constexpr std::size_t kId3HeaderSize = 10;
// The whole length of the ID3v2 tag whose 10-byte header `header` starts
// with (footer included), or nothing when it is not one.
std::optional<uint64_t> Id3v2TagLength(std::span<const uint8_t> header);

class CMPAException {
public:
    enum Code {
        kOpenFile,
        kReadFile,
        kNoVBRHeader,
        kIncompleteVBRHeader,
        kNoFrameInTolerance,
        kNoFrame,
    };

    explicit CMPAException(Code code);

    Code code() const { return code_; }

private:
    Code code_;
};

class CMPAFile;

class CMPAHeader {
public:
    // The frame search: a valid frame at `offset` (relative to the file's
    // begin) or after it; exact mode tries only offset, +1, -1, +2, -2, +3, -3.
    CMPAHeader(CMPAFile* file, uint32_t offset, bool exact);

    static const char* const kLayerTexts[3];
    static const char* const kVersionTexts[4];
    static const char* const kChannelModeTexts[4];
    static const char* const kEmphasisTexts[4];

    bool lsf = false;
    uint32_t version = 0;      // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    uint32_t layer = 0;        // 0 Layer I, 1 Layer II, 2 Layer III
    uint32_t emphasis = 0;
    uint32_t channelMode = 0;  // 0 stereo, 1 joint, 2 dual, 3 mono
    uint32_t samplingRate = 0;
    uint32_t samplesPerFrame = 0;
    uint32_t bitrate = 0;      // bit/s
    uint32_t offset = 0;
    uint32_t frameLength = 0;
    uint32_t distanceToNextFrame = 0;
    uint32_t paddingSize = 0;
    bool copyright = false;
    bool original = false;
    bool isPrivate = false;
    bool crcProtected = false;
    uint8_t modeExtension = 0;

    // Decodes a header word; false when it is not a valid header. With
    // `simple` the bits after the frame length are left undecoded.
    bool DecodeHeader(uint32_t word, bool simple = false);

private:
    bool CheckCandidate(uint32_t at, bool withSubsequentFrame);

    CMPAFile* file_;
};

class CMPAFile {
public:
    // Opens `fileName` itself when `file` is null. Throws CMPAException when
    // no first frame is found or the file can't be opened or read.
    CMPAFile(const std::string& fileName, uint64_t begin, const ReadOnlyFile* file);
    ~CMPAFile();
    CMPAFile(const CMPAFile&) = delete;
    CMPAFile& operator=(const CMPAFile&) = delete;

    const CMPAHeader& frame() const { return *frame_; }
    const CVBRHeader* vbrHeader() const { return vbr_.get(); }
    bool isVBR() const { return isVBR_; }
    uint32_t bytesPerSecond() const { return bytesPerSecond_; }
    uint64_t begin() const { return begin_; }
    uint64_t end() const { return end_; }
    const std::string& fileName() const { return fileName_; }

    // 1 to 4 bytes at `offset` (relative to begin), big-endian. Bytes past
    // the end of the file read as zeros, which never form a frame sync.
    uint32_t GetBytes(uint32_t offset, uint32_t count);
    // The same, moving `offset` past the bytes.
    uint32_t ReadBytes(uint32_t& offset, uint32_t count);
    // Bytes that the file holds from begin onward.
    uint64_t available() const { return file_->size() > begin_ ? file_->size() - begin_ : 0; }

private:
    void SkipId3v2Tags();
    void GrowBuffer(uint64_t needed);

    const ReadOnlyFile* file_;
    std::string fileName_;
    std::optional<ReadOnlyFile> ownedFile_;
    uint64_t begin_;
    uint64_t end_ = 0;
    bool isVBR_ = false;
    uint32_t bytesPerSecond_ = 0;
    std::unique_ptr<CMPAHeader> frame_;
    std::unique_ptr<CVBRHeader> vbr_;
    std::vector<uint8_t> buffer_;
};

}  // namespace zelph
