#pragma once
// The file layout of format 3.99: descriptor, stream header, seek table,
// stored WAV header, frames, stored WAV tail.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zelph::ape {

constexpr uint16_t kFormatVersion = 3990;
constexpr uint32_t kDescriptorBytes = 52;
constexpr uint32_t kHeaderBytes = 24;
constexpr uint16_t kFlagCreateWavHeader = 32;

struct Descriptor {
    uint16_t version = kFormatVersion;
    uint32_t descriptorBytes = kDescriptorBytes;
    uint32_t headerBytes = kHeaderBytes;
    uint32_t seekTableBytes = 0;
    uint32_t wavHeaderBytes = 0;
    uint64_t frameDataBytes = 0;  // stored as low and high 32 bits
    uint32_t wavTailBytes = 0;
    std::array<uint8_t, 16> md5{};
};

struct StreamHeader {
    uint16_t level = 2000;
    uint16_t formatFlags = 0;
    uint32_t blocksPerFrame = 0;
    uint32_t finalFrameBlocks = 0;
    uint32_t totalFrames = 0;
    uint16_t bitsPerSample = 16;
    uint16_t channels = 2;
    uint32_t sampleRate = 44100;

    uint64_t TotalBlocks() const {
        return totalFrames == 0 ? 0 : uint64_t{totalFrames - 1} * blocksPerFrame + finalFrameBlocks;
    }
    uint32_t FrameBlocks(uint32_t frame) const {
        return frame + 1 == totalFrames ? finalFrameBlocks : blocksPerFrame;
    }
};

// Blocks per frame that the reference encoder uses at each level.
uint32_t DefaultBlocksPerFrame(int level);

std::vector<uint8_t> SerializeDescriptor(const Descriptor& d);
std::vector<uint8_t> SerializeHeader(const StreamHeader& h);

// Parses the descriptor and header from the file's first bytes; the text
// names what is wrong, empty on success. `fileSize` bounds every length.
struct ParsedStart {
    Descriptor descriptor;
    StreamHeader header;
    uint64_t seekTableOffset = 0;
    std::string error;
};
ParsedStart ParseStart(std::span<const uint8_t> bytes, uint64_t fileSize);

// Bytes ParseStart needs at least (it may ask for more through descriptorBytes).
constexpr uint32_t kMinStartBytes = kDescriptorBytes + kHeaderBytes;

}  // namespace zelph::ape
