#include "plugins/macdll/compressor.h"

#include <algorithm>

#include "formats/bytereader.h"
#include "plugins/macdll/macdll.h"

namespace zelph::ape {
namespace {

// Room for the seek table when the caller does not know the length: enough
// frames for 4 GiB of PCM.
constexpr uint64_t kUnknownLengthBytes = uint64_t{1} << 32;

}  // namespace

Compressor::~Compressor() {
    if (file_) std::fclose(file_);
}

bool Compressor::Write(std::span<const uint8_t> bytes) {
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
    const uint64_t frames = std::max<uint64_t>(1, (maxBytes + frameBytes_ - 1) / frameBytes_);
    if (frames > (1u << 24)) return ERROR_INPUT_FILE_TOO_LARGE;
    seekTable_.assign(frames, 0);
    pending_.reserve(frameBytes_);

    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return ERROR_IO_WRITE;
    descriptor_.seekTableBytes = static_cast<uint32_t>(frames * 4);
    descriptor_.wavHeaderBytes = static_cast<uint32_t>(wavHeader_.size());

    // Placeholders now; Finish writes the real descriptor, header and table.
    std::vector<uint8_t> reserved(kDescriptorBytes + kHeaderBytes + descriptor_.seekTableBytes, 0);
    if (!Write(reserved) || !Write(wavHeader_)) return failure_ = ERROR_IO_WRITE;
    frameMd5_.Add(wavHeader_);
    return ERROR_SUCCESS;
}

int Compressor::WriteFrame(std::span<const uint8_t> pcm) {
    if (header_.totalFrames == seekTable_.size()) return ERROR_INPUT_FILE_TOO_LARGE;
    if (offset_ > UINT32_MAX) return ERROR_INPUT_FILE_TOO_LARGE;
    std::vector<uint8_t> frame = EncodeFrame(format_, pcm);
    SwapWords(frame);
    seekTable_[header_.totalFrames++] = static_cast<uint32_t>(offset_);
    header_.finalFrameBlocks = static_cast<uint32_t>(pcm.size() / format_.BlockAlign());
    descriptor_.frameDataBytes += frame.size();
    frameMd5_.Add(frame);
    return Write(frame) ? ERROR_SUCCESS : ERROR_IO_WRITE;
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
    if (!Write(tail) && !result) result = ERROR_IO_WRITE;
    frameMd5_.Add(tail);
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
