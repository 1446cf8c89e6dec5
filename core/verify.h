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

// How exactly a target's decoded audio matches its encoder's input: as many
// samples (bit for bit where `bitExact`), give or take what is said here.
struct Fidelity {
    bool bitExact = false;  // every sample, bit for bit (the lossless targets)
    // The decode is held to the length the output states (its row's audio
    // extent), which must itself be the input's, rather than to the input's:
    // for a stream whose decoders do not cut the last block to it.
    bool toStatedLength = false;
    // How many samples more than its length a decode may give ...
    uint64_t overrun = 0;
    // ... unless the output says what its encoder added (nullptr: never).
    bool (*statesPadding)(const std::string& output) = nullptr;
};

// What the one decode of an output is for: checking it, measuring it, or both.
struct OutputCheck {
    bool verify = true;
    Fidelity fidelity{.bitExact = true};
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
