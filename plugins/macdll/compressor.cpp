#include "plugins/macdll/compressor.h"

#include <algorithm>

#include "formats/bytereader.h"
#include "plugins/macdll/macdll.h"

namespace zelph::ape {
namespace {

// Room for the seek table when the caller does not know the length: enough
// frames for 4 GiB of PCM.
constexpr uint64_t kUnknownLengthBytes = uint64_t{1} << 32;

// Some readers look for a 128-byte ID3v1 tag at the end of every file
// without checking its length first, and fail on a shorter file (a second of
// silence codes to less). Spare seek-table entries, which readers skip, keep
// even the smallest file longer than that.
constexpr uint64_t kMinSeekEntries = (128 - kDescriptorBytes - kHeaderBytes) / 4;

}  // namespace

Compressor::~Compressor() {
    if (file_) std::fclose(file_);
}

bool Compressor::Write(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return true;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return false;
    offset_ += bytes.size();
    return true;
}

int Compressor::Start(const std::string& path, const CompressOptions& o) {
    if (file_ || !IsSupported(o.format) || o.sampleRate == 0) return ERROR_BAD_PARAMETER;
    format_ = o.format;
    header_.level = static_cast<uint16_t>(o.format.level);
    header_.blocksPerFrame = o.blocksPerFrame ? o.blocksPerFrame : DefaultBlocksPerFrame(o.format.level);
    header_.bitsPerSample = static_cast<uint16_t>(o.format.bitsPerSample);
    header_.channels = static_cast<uint16_t>(o.format.channels);
    header_.sampleRate = o.sampleRate;
    wavHeader_.assign(o.wavHeader.begin(), o.wavHeader.end());
    if (wavHeader_.empty() && o.createWavHeader) header_.formatFlags |= kFlagCreateWavHeader;

    frameBytes_ = std::size_t{header_.blocksPerFrame} * o.format.BlockAlign();
    const uint64_t maxBytes = o.maxAudioBytes >= 0 ? uint64_t(o.maxAudioBytes) : kUnknownLengthBytes;
    const uint64_t frames = std::max(kMinSeekEntries, (maxBytes + frameBytes_ - 1) / frameBytes_);
    if (frames > (1u << 24)) return ERROR_INPUT_FILE_TOO_LARGE;
    seekTable_.assign(frames, 0);
    pending_.reserve(frameBytes_);

    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return ERROR_IO_WRITE;
    descriptor_.seekTableBytes = static_cast<uint32_t>(frames * 4);
    descriptor_.wavHeaderBytes = static_cast<uint32_t>(wavHeader_.size());

    // Placeholders now; Finish writes the real descriptor, header and table.
    std::vector<uint8_t> reserved(kDescriptorBytes + kHeaderBytes + descriptor_.seekTableBytes, 0);
    if (!Write(reserved) || !WriteBody(wavHeader_)) return failure_ = ERROR_IO_WRITE;
    return ERROR_SUCCESS;
}

bool Compressor::WriteBody(std::span<const uint8_t> bytes) {
    frameMd5_.Add(bytes);
    return Write(bytes);
}

bool Compressor::WriteStream(bool atEnd) {
    if (atEnd) stream_.resize((stream_.size() / 4 + 1) * 4, 0);
    const std::size_t whole = stream_.size() & ~std::size_t{3};
    const std::span<uint8_t> words = std::span(stream_).first(whole);
    SwapWords(words);
    const bool written = WriteBody(words);
    descriptor_.frameDataBytes += whole;
    stream_.erase(stream_.begin(), stream_.begin() + static_cast<std::ptrdiff_t>(whole));
    return written;
}

int Compressor::WriteFrame(std::span<const uint8_t> pcm) {
    const uint64_t start = offset_ + stream_.size();
    if (header_.totalFrames == seekTable_.size() || start > UINT32_MAX) return ERROR_INPUT_FILE_TOO_LARGE;
    seekTable_[header_.totalFrames++] = static_cast<uint32_t>(start);
    header_.finalFrameBlocks = static_cast<uint32_t>(pcm.size() / format_.BlockAlign());
    EncodeFrame(format_, pcm, stream_);
    return WriteStream(false) ? ERROR_SUCCESS : ERROR_IO_WRITE;
}

int Compressor::AddData(std::span<const uint8_t> bytes) {
    if (!file_) return ERROR_BAD_PARAMETER;
    if (failure_) return failure_;
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), frameBytes_ - pending_.size());
        pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + take);
        bytes = bytes.subspan(take);
        if (pending_.size() == frameBytes_) {
            if (int e = WriteFrame(pending_)) return failure_ = e;
            pending_.clear();
        }
    }
    return ERROR_SUCCESS;
}

int Compressor::Finish(std::span<const uint8_t> tail, uint32_t wavTailBytes) {
    if (!file_) return ERROR_BAD_PARAMETER;
    int result = failure_;
    // A trailing part of a block cannot be coded; it is dropped.
    const std::size_t whole = pending_.size() - pending_.size() % format_.BlockAlign();
    if (!result && whole > 0) result = WriteFrame(std::span(pending_).first(whole));
    pending_.clear();
    if ((!WriteStream(true) || !WriteBody(tail)) && !result) result = ERROR_IO_WRITE;
    descriptor_.wavTailBytes = std::min<uint32_t>(wavTailBytes, static_cast<uint32_t>(tail.size()));

    const std::vector<uint8_t> header = SerializeHeader(header_);
    std::vector<uint8_t> table(seekTable_.size() * 4);
    for (std::size_t i = 0; i < seekTable_.size(); ++i) PutLE32(table.data() + 4 * i, seekTable_[i]);
    frameMd5_.Add(header);
    frameMd5_.Add(table);
    descriptor_.md5 = frameMd5_.Finish();

    // Even after a refused frame the file is completed with the frames it has.
    if (std::fseek(file_, 0, SEEK_SET) != 0 || !Write(SerializeDescriptor(descriptor_)) || !Write(header) ||
        !Write(table))
        result = result ? result : ERROR_IO_WRITE;
    if (std::fclose(file_) != 0 && !result) result = ERROR_IO_WRITE;
    file_ = nullptr;
    return result;
}

}  // namespace zelph::ape
