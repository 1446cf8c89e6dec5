#pragma once
// What MPEG audio layer III frames carry: the sample rates of MPEG-1, MPEG-2
// and MPEG-2.5, and the bitrates each of them takes as LAME encodes it
// (MPEG-2.5 up to 64 kbit/s only), so that an encoder is handed a rate and a
// bitrate it can keep.

#include <cstdint>
#include <string>

namespace zelph {

bool IsMp3Rate(uint32_t hz);
bool IsMpeg1Rate(uint32_t hz);
// A bitrate of any MPEG version, in kbit/s.
bool IsMp3Bitrate(int kbps);
// Whether frames at `hz` carry `kbps`.
bool CarriesBitrate(uint32_t hz, int kbps);

// The MP3 rate for a source of `hz`: the lowest one at or above it (no band
// of the source is lost), 48000 Hz for anything higher. The rate LAME picks
// for itself belongs to the same MPEG version, so it takes the same bitrates.
uint32_t Mp3RateFor(uint32_t hz);

// The bitrate of frames at `hz` nearest to `kbps` (of two as near, the lower),
// as the lame tool picks one for a bitrate the rate cannot carry; 0 (the
// encoder's own choice) stays 0.
int NearestMp3Bitrate(uint32_t hz, int kbps);

// Why no MP3 stream can have frames at `hz` (MPEG-1 frames when `mpeg1`)
// near `kbps` (0: the encoder's own choice), naming the value at fault; ""
// when one can.
std::string Mp3StreamProblem(uint32_t hz, bool mpeg1, int kbps);

}  // namespace zelph
