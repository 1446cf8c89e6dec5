#pragma once
// Loudness tags in the convention of the output's format. ReplayGain's
// REPLAYGAIN_*_GAIN ("-6.50 dB", to a reference of -18 LUFS) and R128's
// R128_*_GAIN (a Q7.8 number of dB to -23 LUFS, on top of the header's
// output gain) say the same thing 5 dB apart; a player reads only its own,
// so a value copied as it stands onto the other format is lost or wrong.

#include <optional>

#include "metadata/tags.h"

namespace zelph {

// Rewrites the track and album gains of `tags` into the output's
// convention: into R128 form (the peaks and the reference loudness, which
// R128 has no field for, go) or into ReplayGain form. A value that does not
// read as a number is left out. Gains already in the output's form stay as
// they are.
void ConvertGainTags(Tags& tags, GainConvention to);

// What was measured on an output: gains in dB to ReplayGain's -18 LUFS and
// peaks at 1.0 for full scale. A gain is missing for audio too quiet to
// measure (silence); the album's only when the output belongs to one.
struct MeasuredGains {
    std::optional<double> trackGain;
    double trackPeak = 0;
    std::optional<double> albumGain;
    std::optional<double> albumPeak;
};

// Replaces every loudness field of `tags` by the measured gains in the
// output's convention: REPLAYGAIN_*_GAIN ("-6.52 dB") and _PEAK
// ("0.988312"), or R128_*_GAIN (Q7.8 dB to -23 LUFS; R128 has no peaks).
// Returns the names of the fields written.
std::vector<std::string> SetMeasuredGains(Tags& tags, const MeasuredGains& gains, GainConvention to);

// Leaves out every loudness field: the source's describe audio that the
// output does not hold once it is measured anew.
void DropGainTags(Tags& tags);

}  // namespace zelph
