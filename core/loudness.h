#pragma once
// Loudness (EBU R128, as ReplayGain 2.0 uses it) measured on an output's own
// decoded audio: what a player plays, not what the encoder was given, which
// for a lossy target differs by up to a tenth of a dB. The meter is fed by
// the one decode of the output that the verify step makes.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "metadata/gaintags.h"

namespace zelph {

enum class LoudnessMode { kOff = 0, kTrack = 1, kAlbum = 2 };

class LoudnessMeter {
public:
    // A meter that failed to start (libebur128 out of memory, a layout it
    // refuses) is not ok() and measures nothing.
    LoudnessMeter(int channels, unsigned long rate, bool truePeak);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool ok() const { return state_ != nullptr; }
    int channels() const { return channels_; }
    // Interleaved frames, full scale at 1.0.
    bool Add(std::span<const float> samples);
    // The integrated loudness in LUFS; nothing for a track too quiet to
    // gate (silence).
    std::optional<double> Loudness() const;
    // The largest sample (or true) peak of any channel, 1.0 at full scale.
    double Peak() const;

    // The album's loudness by gating every track's blocks together, as if
    // the album were one track; not an average of its tracks' loudness.
    static std::optional<double> Joint(std::span<const LoudnessMeter* const> tracks);

private:
    struct State;  // libebur128's, which has no name to declare it by
    std::unique_ptr<State> state_;
    int channels_;
    bool truePeak_;
    float samplePeak_ = 0;  // kept here rather than by libebur128, at a tenth of its cost
};

// The gains a track's output is tagged with; with its album's tracks (itself
// among them), the album's gain and peak too.
MeasuredGains GainsOf(const LoudnessMeter& track, std::span<const LoudnessMeter* const> album = {});

// The album `source` belongs to: its folder with its album and album artist
// tags; the folder alone when it has neither.
std::string AlbumOf(const std::string& source);

}  // namespace zelph
