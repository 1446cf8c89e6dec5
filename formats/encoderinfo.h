#pragma once
// The frame an encoder puts first in an MPEG audio stream to describe it
// (a Xing, Info or VBRI tag). It holds no audio, and LAME's extension of
// the Xing tag records how many samples the encoder added before and after
// the music, which is what a gapless decode cuts away again.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zelph {

struct EncoderInfoFrame {
    std::optional<uint32_t> frames;  // audio frames in the stream, this one not counted
    // Samples of silence the encoder put before and after the music (LAME tag).
    std::optional<uint32_t> delay;
    std::optional<uint32_t> padding;
};

// `frame` is one whole frame, header first. Nothing when it carries audio.
std::optional<EncoderInfoFrame> ReadEncoderInfoFrame(std::span<const uint8_t> frame);

// Whether the stream at `path` starts (after its ID3v2 tags) with an info
// frame stating the encoder's delay and padding, which a gapless decode cuts
// away.
bool StatesEncoderPadding(const std::string& path);

// What a decode that cuts nothing away may give past the encoder's input:
// LAME's encoder delay (576) and a decoder's (529), and the padding up to a
// whole Layer III frame (1152) at the end.
inline constexpr uint64_t kUncutDecodeOverrun = 576 + 529 + 1152;

}  // namespace zelph
