#include "plugins/macdll/container.h"

#include "formats/bytereader.h"

namespace zelph::ape {
namespace {

// Frames longer than this many blocks are not written by any known encoder;
// the bound keeps a damaged header from asking for absurd work.
constexpr uint32_t kMaxBlocksPerFrame = 73728 * 64;
constexpr uint32_t kMaxSampleRate = 1536000;

}  // namespace

uint32_t DefaultBlocksPerFrame(int level) {
    constexpr uint32_t kBase = 73728;
    return level >= 5000 ? kBase * 16 : level >= 4000 ? kBase * 4 : kBase;
}

std::vector<uint8_t> SerializeDescriptor(const Descriptor& d) {
    std::vector<uint8_t> out(kDescriptorBytes, 0);
    uint8_t* p = out.data();
    p[0] = 'M', p[1] = 'A', p[2] = 'C', p[3] = ' ';
    PutLE16(p + 4, d.version);
    PutLE32(p + 8, kDescriptorBytes);
    PutLE32(p + 12, kHeaderBytes);
    PutLE32(p + 16, d.seekTableBytes);
    PutLE32(p + 20, d.wavHeaderBytes);
    PutLE32(p + 24, static_cast<uint32_t>(d.frameDataBytes));
    PutLE32(p + 28, static_cast<uint32_t>(d.frameDataBytes >> 32));
    PutLE32(p + 32, d.wavTailBytes);
    std::copy(d.md5.begin(), d.md5.end(), p + 36);
    return out;
}

std::vector<uint8_t> SerializeHeader(const StreamHeader& h) {
    std::vector<uint8_t> out(kHeaderBytes, 0);
    uint8_t* p = out.data();
    PutLE16(p, h.level);
    PutLE16(p + 2, h.formatFlags);
    PutLE32(p + 4, h.blocksPerFrame);
    PutLE32(p + 8, h.finalFrameBlocks);
    PutLE32(p + 12, h.totalFrames);
    PutLE16(p + 16, h.bitsPerSample);
    PutLE16(p + 18, h.channels);
    PutLE32(p + 20, h.sampleRate);
    return out;
}

ParsedStart ParseStart(std::span<const uint8_t> bytes, uint64_t fileSize) {
    ParsedStart r;
    ByteReader in(bytes);
    Descriptor& d = r.descriptor;
    if (!in.Tag("MAC ")) {
        r.error = "not a Monkey's Audio file";
        return r;
    }
    d.version = in.U16();
    in.Skip(2);
    d.descriptorBytes = in.U32();
    d.headerBytes = in.U32();
    d.seekTableBytes = in.U32();
    d.wavHeaderBytes = in.U32();
    const uint32_t dataLow = in.U32();
    d.frameDataBytes = uint64_t{in.U32()} << 32 | dataLow;
    d.wavTailBytes = in.U32();
    auto md5 = in.Bytes(16);
    if (!in.ok()) {
        r.error = "truncated descriptor";
        return r;
    }
    std::copy(md5.begin(), md5.end(), d.md5.begin());
    if (d.version < 3990 || d.version > 3999) {
        r.error = "unsupported format version";
        return r;
    }
    const uint64_t bodyStart = uint64_t{d.descriptorBytes} + d.headerBytes;
    if (d.descriptorBytes < kDescriptorBytes || d.headerBytes < kHeaderBytes ||
        bodyStart + d.seekTableBytes + d.wavHeaderBytes > fileSize) {
        r.error = "descriptor lengths do not fit the file";
        return r;
    }
    if (d.descriptorBytes - kDescriptorBytes > in.remaining() || !in.Skip(d.descriptorBytes - kDescriptorBytes)) {
        r.error = "truncated descriptor";
        return r;
    }

    StreamHeader& h = r.header;
    h.level = in.U16();
    h.formatFlags = in.U16();
    h.blocksPerFrame = in.U32();
    h.finalFrameBlocks = in.U32();
    h.totalFrames = in.U32();
    h.bitsPerSample = in.U16();
    h.channels = in.U16();
    h.sampleRate = in.U32();
    if (!in.ok()) {
        r.error = "truncated header";
        return r;
    }
    if (h.blocksPerFrame == 0 || h.blocksPerFrame > kMaxBlocksPerFrame ||
        (h.totalFrames > 0 && (h.finalFrameBlocks == 0 || h.finalFrameBlocks > h.blocksPerFrame)) ||
        uint64_t{h.totalFrames} * 4 > d.seekTableBytes) {
        r.error = "frame counts out of range";
        return r;
    }
    if (h.sampleRate == 0 || h.sampleRate > kMaxSampleRate) {
        r.error = "sample rate out of range";
        return r;
    }
    r.seekTableOffset = bodyStart;
    return r;
}

}  // namespace zelph::ape
