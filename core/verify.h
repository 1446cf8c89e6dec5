#pragma once
// An output is trusted only once it decodes back to what its encoder was
// given. Before it takes its name it is decoded by FFmpeg's decoders, a path
// that shares no code with our engines: our lossless engines use one
// library both ways, so decoding with our own engines would repeat
// a fault rather than find it. The decoded audio is set against the PCM WAV
// the encoder read. The same decode feeds the loudness meter, so measuring
// an output costs no second decode.

#include <cstdint>
#include <memory>
#include <string>

#include "core/loudness.h"

namespace zelph {

// How exactly a target's decoded audio matches its encoder's input.
enum class Fidelity {
    kBitExact,    // every sample, bit for bit (the lossless targets)
    kSameLength,  // as many samples; the stream states its exact length
    // As many samples as its last page's granule states, which must be the
    // input's: FFmpeg does not cut Vorbis's last block to it, so the decode
    // gives at least that many and at most a long block more.
    kVorbisGranule,
    // As many samples as the edit list states, which must be the input's:
    // a decoder that does not cut the last frame to it gives up to a frame
    // (AAC's 1024 samples) more.
    kEditedLength,
    // As many samples when LAME's tag states the encoder's delay and padding;
    // without it, up to the codec's delays and a frame of padding more.
    kMpegFrames,
};

// What the one decode of an output is for: checking it, measuring it, or both.
struct OutputCheck {
    bool verify = true;
    Fidelity fidelity = Fidelity::kBitExact;
    bool measure = false;
    bool truePeak = false;  // the meter's peak is the true (inter-sample) one
};

struct CheckedOutput {
    // Why the output does not decode back (verify: to its input; measure:
    // at all), or "" when it does.
    std::string problem;
    std::unique_ptr<LoudnessMeter> meter;  // with `measure`, once the decode went through
};

// Decodes the output at `output` once. With `verify`, sets it against the
// PCM WAV at `encoderInput` by `fidelity`; a bit-exact target whose form
// differs from its input (the WAV stage folded or reduced it on purpose) is
// held to its length. With `measure`, its loudness and peak are metered.
CheckedOutput CheckOutput(const std::string& output, const std::string& encoderInput, const OutputCheck& check);

}  // namespace zelph
