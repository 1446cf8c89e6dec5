#include "plugins/macdll/decompressor.h"

#include <algorithm>

#include "formats/bytereader.h"
#include "plugins/macdll/macdll.h"

namespace zelph::ape {
namespace {

constexpr uint64_t kStartReadBytes = 65536;

// No honest frame needs more than this; the bound keeps a damaged seek table
// from making us read (and allocate for) a whole file as one frame.
uint64_t MaxFrameBytes(uint32_t blocks, int channels) { return uint64_t{blocks} * channels * 16 + 1024; }

}  // namespace

std::unique_ptr<Decompressor> Decompressor::Open(std::unique_ptr<ByteSource> source, int& error) {
    error = ERROR_INVALID_INPUT_FILE;
    if (!source) {
        error = ERROR_IO_READ;
        return nullptr;
    }
    const uint64_t fileSize = source->size();
    std::vector<uint8_t> start(std::min(fileSize, kStartReadBytes));
    if (!source->Read(0, start)) return nullptr;
    ParsedStart parsed = ParseStart(start, fileSize);
    if (!parsed.error.empty()) {
        if (parsed.error == "unsupported format version") error = ERROR_UNSUPPORTED_FILE_VERSION;
        return nullptr;
    }

    std::unique_ptr<Decompressor> d(new Decompressor);
    d->descriptor_ = parsed.descriptor;
    d->header_ = parsed.header;
    d->format_ = {d->header_.channels, d->header_.bitsPerSample, d->header_.level};
    if (!IsSupported(d->format_)) return nullptr;

    // ParseStart has checked that the seek table and stored header lie in the file.
    const uint32_t frames = d->header_.totalFrames;
    std::vector<uint8_t> table(std::size_t{frames} * 4);
    if (!source->Read(parsed.seekTableOffset, table)) return nullptr;
    const uint64_t firstFrame = parsed.seekTableOffset + d->descriptor_.seekTableBytes + d->descriptor_.wavHeaderBytes;

    ByteReader entries(table);
    d->frameStart_.reserve(std::size_t{frames} + 1);
    d->framesPresent_ = frames;
    uint64_t previous = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint64_t entry = entries.U32();
        const uint64_t at = i == 0 ? firstFrame : entry;
        if (at < firstFrame || at < previous) return nullptr;
        previous = at;
        // A file that ends before a frame starts (every later one starting
        // past its end too) holds the frames before it; the one the end cuts
        // through is not one of them.
        const bool cut = d->framesPresent_ < frames;
        if (at >= fileSize && i > 0 && !cut) {
            d->framesPresent_ = at == fileSize ? i : i - 1;
            if (at == fileSize) d->frameStart_.push_back(at);
        } else if (at >= fileSize && !cut) {
            return nullptr;
        } else if (!cut) {
            d->frameStart_.push_back(at);
        }
    }
    if (d->framesPresent_ == frames) {
        uint64_t end = fileSize;
        if (frames > 0 && d->descriptor_.wavTailBytes < fileSize - d->frameStart_.back())
            end -= d->descriptor_.wavTailBytes;
        d->frameStart_.push_back(end);
    }

    d->source_ = std::move(source);
    error = ERROR_SUCCESS;
    return d;
}

uint64_t Decompressor::BlocksPresent() const {
    return framesPresent_ == header_.totalFrames ? header_.TotalBlocks()
                                                 : uint64_t{framesPresent_} * header_.blocksPerFrame;
}

int Decompressor::Fail(int error) {
    failure_ = error;
    return error;
}

// A frame starts inside a stored word and ends inside another, which it may
// share with the next frame; the words are read whole and swapped into coding
// order, and decoding starts at the frame's first byte.
int Decompressor::StartFrame(uint32_t frame) {
    const uint64_t start = frameStart_[frame];
    const uint64_t skip = (start - frameStart_.front()) & 3;
    const uint32_t blocks = header_.FrameBlocks(frame);
    const uint64_t wordsEnd = (frameStart_[frame + 1] - (start - skip) + 3) & ~uint64_t{3};
    const uint64_t length = std::min(wordsEnd, MaxFrameBytes(blocks, format_.channels));
    const uint64_t inFile = std::min(length, source_->size() - (start - skip));

    frameBytes_.assign(length, 0);
    if (!source_->Read(start - skip, std::span(frameBytes_).first(inFile))) return ERROR_IO_READ;
    SwapWords(frameBytes_);
    if (!frame_.Start(format_, std::span<const uint8_t>(frameBytes_).subspan(skip), blocks))
        return ERROR_DECOMPRESSING_FRAME;
    return ERROR_SUCCESS;
}

int Decompressor::GetData(uint8_t* out, uint32_t blocks, uint32_t& retrieved) {
    retrieved = 0;
    if (failure_) return failure_;
    const int align = format_.BlockAlign();
    uint32_t got = 0;
    while (got < blocks) {
        if (frame_.remaining() == 0) {
            if (nextFrame_ >= framesPresent_) break;
            if (int e = StartFrame(nextFrame_++)) return Fail(e);
        }
        const uint32_t count = std::min(blocks - got, frame_.remaining());
        if (!frame_.Decode(out + std::size_t{got} * align, count))
            return Fail(frame_.remaining() == 0 ? ERROR_INVALID_CHECKSUM : ERROR_DECOMPRESSING_FRAME);
        got += count;
    }
    retrieved = got;
    currentBlock_ += got;
    return ERROR_SUCCESS;
}

int Decompressor::Seek(uint64_t block) {
    if (block > BlocksPresent()) return ERROR_BAD_PARAMETER;
    failure_ = 0;
    currentBlock_ = block;
    if (block == BlocksPresent()) {
        nextFrame_ = framesPresent_;
        frame_ = FrameDecoder{};
        return ERROR_SUCCESS;
    }
    const uint32_t frame = static_cast<uint32_t>(block / header_.blocksPerFrame);
    nextFrame_ = frame + 1;
    if (int e = StartFrame(frame)) return Fail(e);

    // The frame's CRC covers all its blocks, so the skipped ones are decoded too.
    std::vector<uint8_t> scratch(std::size_t{4096} * format_.BlockAlign());
    uint64_t skip = block % header_.blocksPerFrame;
    while (skip > 0) {
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(skip, 4096));
        if (!frame_.Decode(scratch.data(), count)) return Fail(ERROR_DECOMPRESSING_FRAME);
        skip -= count;
    }
    return ERROR_SUCCESS;
}

int64_t Decompressor::Info(int field) const {
    const StreamHeader& h = header_;
    const uint64_t total = h.TotalBlocks();
    switch (field) {
        case APE_INFO_FILE_VERSION: return descriptor_.version;
        case APE_INFO_COMPRESSION_LEVEL: return h.level;
        case APE_INFO_FORMAT_FLAGS: return h.formatFlags;
        case APE_INFO_SAMPLE_RATE: return h.sampleRate;
        case APE_INFO_BITS_PER_SAMPLE: return h.bitsPerSample;
        case APE_INFO_BYTES_PER_SAMPLE: return h.bitsPerSample / 8;
        case APE_INFO_CHANNELS: return h.channels;
        case APE_INFO_BLOCK_ALIGN: return format_.BlockAlign();
        case APE_INFO_BLOCKS_PER_FRAME: return h.blocksPerFrame;
        case APE_INFO_FINAL_FRAME_BLOCKS: return h.finalFrameBlocks;
        case APE_INFO_TOTAL_FRAMES: return h.totalFrames;
        case APE_INFO_WAV_HEADER_BYTES: return descriptor_.wavHeaderBytes;
        case APE_INFO_WAV_TERMINATING_BYTES: return descriptor_.wavTailBytes;
        case APE_INFO_WAV_DATA_BYTES: return static_cast<int64_t>(total * format_.BlockAlign());
        // What the header states, and what the decompressor delivers.
        case APE_INFO_TOTAL_BLOCKS: return static_cast<int64_t>(total);
        case APE_DECOMPRESS_TOTAL_BLOCKS: return static_cast<int64_t>(BlocksPresent());
        case APE_INFO_LENGTH_MS: return static_cast<int64_t>(total * 1000 / h.sampleRate);
        case APE_DECOMPRESS_LENGTH_MS: return static_cast<int64_t>(BlocksPresent() * 1000 / h.sampleRate);
        case APE_DECOMPRESS_CURRENT_BLOCK: return static_cast<int64_t>(currentBlock_);
        case APE_DECOMPRESS_CURRENT_MS: return static_cast<int64_t>(currentBlock_ * 1000 / h.sampleRate);
        default: return -1;
    }
}

}  // namespace zelph::ape
