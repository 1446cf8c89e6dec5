#include "formats/mpafile.h"

#include <span>

#include "formats/bytereader.h"
#include "formats/vbrheader.h"

namespace zelph {

namespace {

constexpr uint32_t kSearchRange = 16384;
constexpr uint32_t kExactTolerance = 3;
constexpr std::size_t kFirstBufferSize = 1024;

constexpr uint32_t kSamplingRates[4][3] = {
    {11025, 12000, 8000},  // MPEG 2.5
    {0, 0, 0},             // reserved
    {22050, 24000, 16000},  // MPEG 2
    {44100, 48000, 32000},  // MPEG 1
};

// kbit/s by LSF, layer and bitrate index; index 0 is free format.
constexpr uint32_t kBitrates[2][3][15] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

constexpr uint32_t kSamplesPerFrame[2][3] = {{384, 1152, 1152}, {384, 1152, 576}};
constexpr uint32_t kFrameLengthCoefficient[2][3] = {{48, 144, 144}, {48, 144, 72}};
constexpr uint32_t kPaddingSize[3] = {4, 1, 1};

constexpr uint32_t kSyncMask = 0xFFE00000u;

uint32_t Bits(uint32_t word, int high, int low) { return (word >> low) & ((1u << (high - low + 1)) - 1); }

constexpr uint8_t kId3FooterFlag = 0x10;

}  // namespace

std::optional<uint64_t> Id3v2TagLength(std::span<const uint8_t> header) {
    ByteReader in(header);
    if (!in.Tag("ID3")) return std::nullopt;
    const uint8_t major = in.U8(), revision = in.U8(), flags = in.U8();
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t b = in.U8();
        if (b & 0x80) return std::nullopt;
        size = (size << 7) | b;
    }
    if (!in.ok() || major == 0xFF || revision == 0xFF) return std::nullopt;
    return kId3HeaderSize + size + ((flags & kId3FooterFlag) ? kId3HeaderSize : 0);
}

// ---------------------------------------------------------------------------

CMPAException::CMPAException(Code code) : code_(code) {}

// ---------------------------------------------------------------------------

const char* const CMPAHeader::kLayerTexts[3] = {"Layer I", "Layer II", "Layer III"};
const char* const CMPAHeader::kVersionTexts[4] = {"MPEG 2.5", "", "MPEG 2", "MPEG 1"};
const char* const CMPAHeader::kChannelModeTexts[4] = {"Stereo", "Joint Stereo", "Dual Channel", "Single Channel"};
const char* const CMPAHeader::kEmphasisTexts[4] = {"None", "50/15ms", "", "CCIT J.17"};

bool CMPAHeader::DecodeHeader(uint32_t word, bool simple) {
    if ((word & kSyncMask) != kSyncMask) return false;
    version = Bits(word, 20, 19);
    if (version == 1) return false;
    lsf = version != 3;
    const uint32_t layerBits = Bits(word, 18, 17);
    if (layerBits == 0) return false;
    layer = 3 - layerBits;
    crcProtected = Bits(word, 16, 16) == 0;
    const uint32_t bitrateIndex = Bits(word, 15, 12);
    if (bitrateIndex == 15) return false;
    bitrate = kBitrates[lsf][layer][bitrateIndex] * 1000;
    if (bitrate == 0) return false;
    const uint32_t rateIndex = Bits(word, 11, 10);
    if (rateIndex == 3) return false;
    samplingRate = kSamplingRates[version][rateIndex];
    paddingSize = Bits(word, 9, 9) * kPaddingSize[layer];
    frameLength = kFrameLengthCoefficient[lsf][layer] * bitrate / samplingRate + paddingSize;
    samplesPerFrame = kSamplesPerFrame[lsf][layer];
    if (simple) return true;
    isPrivate = Bits(word, 8, 8);
    channelMode = Bits(word, 7, 6);
    modeExtension = static_cast<uint8_t>(Bits(word, 5, 4));
    copyright = Bits(word, 3, 3);
    original = Bits(word, 2, 2);
    emphasis = Bits(word, 1, 0);
    return emphasis != 2;
}

bool CMPAHeader::CheckCandidate(uint32_t at, bool withSubsequentFrame) {
    const uint32_t word = file_->GetBytes(at, 4);
    if ((word & kSyncMask) != kSyncMask || !DecodeHeader(word)) return false;
    if (!withSubsequentFrame) return true;
    try {
        const CMPAHeader next(file_, at + frameLength, true);
        distanceToNextFrame = next.offset - at;
    } catch (const CMPAException& e) {
        if (e.code() != CMPAException::kNoFrame) return false;
        // No room for a successor: this is the last frame of the data.
        const uint64_t dataLength = file_->end() - file_->begin();
        distanceToNextFrame = uint64_t{at} + frameLength + file_->begin() > file_->end()
                                  ? static_cast<uint32_t>(dataLength - at)
                                  : frameLength;
    }
    return true;
}

CMPAHeader::CMPAHeader(CMPAFile* file, uint32_t requested, bool exact) : file_(file) {
    // Offsets above end - begin - 4 (taken unsigned, so no bound while end is
    // still unknown) have no room for a header.
    const uint64_t last = file->end() - file->begin() - 4;
    int64_t at = requested;
    uint32_t step = 1;
    while (!CheckCandidate(static_cast<uint32_t>(at), !exact)) {
        if (exact) {
            if (step > kExactTolerance) throw CMPAException(CMPAException::kNoFrameInTolerance);
            if (at > requested) {
                at = int64_t{requested} - step;
                ++step;
            } else {
                at = int64_t{requested} + step;
            }
        } else {
            ++at;
            // Past the last byte nothing can sync; the answer is known without
            // trying the rest of the range. (Exact mode keeps its own outcome:
            // its callers tell "no frame" from "none within tolerance".)
            if (static_cast<uint64_t>(at) + 4 > file->available())
                throw CMPAException(CMPAException::kNoFrame);
        }
        const int64_t distance = at > requested ? at - requested : requested - at;
        if (at < 0 || static_cast<uint64_t>(at) > last || at > UINT32_MAX || distance > kSearchRange)
            throw CMPAException(CMPAException::kNoFrame);
    }
    offset = static_cast<uint32_t>(at);
}

// ---------------------------------------------------------------------------

CMPAFile::CMPAFile(const std::string& fileName, uint64_t begin, const ReadOnlyFile* file)
    : file_(file), fileName_(fileName), begin_(begin) {
    if (!file_) {
        ownedFile_.emplace(fileName);
        if (!ownedFile_->isOpen()) throw CMPAException(CMPAException::kOpenFile);
        file_ = &*ownedFile_;
    }
    SkipId3v2Tags();
    frame_ = std::make_unique<CMPAHeader>(this, 0, false);

    const std::optional<VBRHeaderPlace> place = FindVBRHeader(*this, frame_->offset);
    if (place) {
        try {
            vbr_ = std::make_unique<CVBRHeader>(*this, place->kind, place->offset);
        } catch (const CMPAException&) {
            // A damaged VBR header only costs the VBR figures.
        }
    }
    if (vbr_) {
        // Stated frames lasting under a second leave no average rate.
        if (vbr_->seconds() == 0) throw CMPAException(CMPAException::kIncompleteVBRHeader);
        isVBR_ = true;
        bytesPerSecond_ = vbr_->bytesPerSecond();
        end_ = begin_ + vbr_->bytes();
    } else {
        bytesPerSecond_ = frame_->bitrate / 8;
    }
    if (end_ == 0) end_ = file_->size();
}

CMPAFile::~CMPAFile() = default;

// Cover art makes ID3v2 tags far longer than the frame search reaches, so
// the tags (one or several in a row) are stepped over before it starts.
void CMPAFile::SkipId3v2Tags() {
    for (;;) {
        uint8_t header[kId3HeaderSize];
        const std::optional<std::size_t> got = file_->ReadAt(begin_, header, sizeof header);
        if (!got) throw CMPAException(CMPAException::kReadFile);
        const std::optional<uint64_t> length = Id3v2TagLength({header, *got});
        if (!length) return;
        if (*length > available()) throw CMPAException(CMPAException::kNoFrame);
        begin_ += *length;
    }
}

void CMPAFile::GrowBuffer(uint64_t needed) {
    // Never beyond the bytes the file holds, whatever offset was asked for.
    const uint64_t cap = available();
    const std::size_t length = buffer_.size();
    uint64_t size = buffer_.empty() ? kFirstBufferSize : 2 * uint64_t{length};
    if (size < needed) size = needed;
    if (size > cap) size = cap;
    if (size <= length) return;
    buffer_.resize(static_cast<std::size_t>(size));
    const std::optional<std::size_t> got = file_->ReadAt(begin_ + length, buffer_.data() + length, size - length);
    if (!got) {
        buffer_.resize(length);
        throw CMPAException(CMPAException::kReadFile);
    }
    buffer_.resize(length + *got);
}

uint32_t CMPAFile::GetBytes(uint32_t offset, uint32_t count) {
    if (uint64_t{offset} + count > buffer_.size()) GrowBuffer(uint64_t{offset} + count);
    ByteReader in(buffer_);
    in.Skip(offset);
    uint32_t value = 0;
    for (uint32_t i = 0; i < count; ++i) value = (value << 8) | in.U8();
    return value;
}

uint32_t CMPAFile::ReadBytes(uint32_t& offset, uint32_t count) {
    const uint32_t value = GetBytes(offset, count);
    offset += count;
    return value;
}

}  // namespace zelph
