#pragma once
// Vorbis orders the channels of 3 to 8 channel streams differently from WAV,
// and codecs that follow its mapping do the same; their decoders write the
// WAV order so that a player puts every channel on the speaker it was meant
// for.

#include <array>

namespace zelph {

// Entry [n][w] is the stream channel that goes to WAV position w.
inline constexpr int kMaxOrderedChannels = 8;
inline constexpr std::array<std::array<int, kMaxOrderedChannels>, kMaxOrderedChannels + 1> kVorbisToWavOrder{{
    {},
    {0},
    {0, 1},
    {0, 2, 1},
    {0, 1, 2, 3},
    {0, 2, 1, 3, 4},
    {0, 2, 1, 5, 3, 4},
    {0, 2, 1, 6, 5, 3, 4},
    {0, 2, 1, 7, 5, 6, 3, 4},
}};

inline int VorbisChannelAt(int wavPosition, int channels) {
    return channels <= kMaxOrderedChannels ? kVorbisToWavOrder[channels][wavPosition] : wavPosition;
}

}  // namespace zelph
