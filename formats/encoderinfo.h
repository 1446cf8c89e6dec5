#pragma once
// The frame an encoder puts first in an MPEG audio stream to describe it
// (a Xing, Info or VBRI tag). It holds no audio, and LAME's extension of
// the Xing tag records how many samples the encoder added before and after
// the music, which is what a gapless decode cuts away again.

#include <cstdint>
#include <optional>
#include <span>

namespace zelph {

struct EncoderInfoFrame {
    std::optional<uint32_t> frames;  // audio frames in the stream, this one not counted
    // Samples of silence the encoder put before and after the music (LAME tag).
    std::optional<uint32_t> delay;
    std::optional<uint32_t> padding;
};

// `frame` is one whole frame, header first. Nothing when it carries audio.
std::optional<EncoderInfoFrame> ReadEncoderInfoFrame(std::span<const uint8_t> frame);

}  // namespace zelph
