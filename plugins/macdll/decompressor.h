#pragma once
// Reads a 3.99 file: checks its layout once, then decodes frame by frame on
// demand, holding one frame's bytes at a time. A file that ends early
// yields the frames it holds whole.

#include <cstdint>
#include <memory>
#include <vector>

#include "plugins/macdll/bytesource.h"
#include "plugins/macdll/container.h"
#include "plugins/macdll/framecoder.h"

namespace zelph::ape {

class Decompressor {
public:
    // Null with `error` set when the source is not a readable 3.99 file.
    static std::unique_ptr<Decompressor> Open(std::unique_ptr<ByteSource> source, int& error);

    // Up to `blocks` sample frames into `out`; `retrieved` 0 at the end.
    int GetData(uint8_t* out, uint32_t blocks, uint32_t& retrieved);
    int Seek(uint64_t block);
    int64_t Info(int field) const;

private:
    Decompressor() = default;
    int StartFrame(uint32_t frame);
    int Fail(int error);
    uint64_t BlocksPresent() const;

    std::unique_ptr<ByteSource> source_;
    Descriptor descriptor_;
    StreamHeader header_;
    StreamFormat format_;
    std::vector<uint64_t> frameStart_;  // file offsets, one per frame, plus the end
    std::vector<uint8_t> frameBytes_;
    FrameDecoder frame_;
    // Frames wholly in the file: fewer than the header's when the file ends early.
    uint32_t framesPresent_ = 0;
    uint32_t nextFrame_ = 0;
    uint64_t currentBlock_ = 0;
    int failure_ = 0;
};

}  // namespace zelph::ape
