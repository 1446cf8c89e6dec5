#pragma once
// The Xing/LAME tag frame: an encoder asked for a tag starts its stream with a
// placeholder frame of the tag's size, which is filled in once the stream is
// complete so that players know its frame count, length and seek table.

#include <lame/lame.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace zelph::mp3enc {

// The finished tag frame of a flushed stream; empty when it asked for none.
std::vector<uint8_t> FinishedTagFrame(lame_global_flags* lame);

// Overwrites the placeholder at the start of `mp3` (after an ID3v2 tag, if
// any) with `tag`; false when the file does not start with a frame of the
// tag's size or the write fails.
bool WriteTagFrame(std::FILE* mp3, const std::vector<uint8_t>& tag);

// Byte length of the MPEG audio layer III frame whose header starts `header`,
// or 0 when those four bytes are not such a header.
int Layer3FrameLength(const uint8_t header[4]);

}  // namespace zelph::mp3enc
