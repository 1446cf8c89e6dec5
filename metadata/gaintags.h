#pragma once
// Loudness tags in the convention of the output's format. ReplayGain's
// REPLAYGAIN_*_GAIN ("-6.50 dB", to a reference of -18 LUFS) and Opus's
// R128_*_GAIN (a Q7.8 number of dB to -23 LUFS, on top of the header's
// output gain) say the same thing 5 dB apart; a player reads only its own,
// so a value copied as it stands onto the other format is lost or wrong.

#include "metadata/tags.h"

namespace zelph {

// Rewrites the track and album gains of `tags` into R128 form for an Opus
// output (the peaks and the reference loudness, which R128 has no field for,
// go) or into ReplayGain form for any other. A value that does not read as
// a number is left out. Gains already in the output's form stay as they are.
void ConvertGainTags(Tags& tags, bool toOpus);

}  // namespace zelph
