#pragma once
// Loudness tags in the convention of the output's format. ReplayGain's
// REPLAYGAIN_*_GAIN ("-6.50 dB", to a reference of -18 LUFS) and R128's
// R128_*_GAIN (a Q7.8 number of dB to -23 LUFS, on top of the header's
// output gain) say the same thing 5 dB apart; a player reads only its own,
// so a value copied as it stands onto the other format is lost or wrong.

#include "metadata/tags.h"

namespace zelph {

// Rewrites the track and album gains of `tags` into the output's
// convention: into R128 form (the peaks and the reference loudness, which
// R128 has no field for, go) or into ReplayGain form. A value that does not
// read as a number is left out. Gains already in the output's form stay as
// they are.
void ConvertGainTags(Tags& tags, GainConvention to);

}  // namespace zelph
