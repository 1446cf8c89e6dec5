#pragma once
// Checks on produced MP3 files that do not trust the encoder: a frame-header
// reader, the Xing tag's frame count, decoding by ffmpeg and mpg123, and the
// likeness of the decoded audio to its source.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelph::test {

struct Mp3Frame {
    int version = 0;  // 1, 2, or 25 for MPEG 2.5
    int layer = 0;
    int kbps = 0;
    int sampleRate = 0;
    int mode = 0;     // 0 stereo, 1 joint, 2 dual, 3 mono
    bool crc = false, privateBit = false, copyright = false, original = false;
    int emphasis = 0;
    int mainDataBegin = 0;  // bytes taken from the bit reservoir
    std::optional<uint32_t> xingFrames;  // set when this frame is a Xing/Info tag
};

// Every frame from the start (after an ID3v2 tag) until the bytes stop
// forming frames; `trailing` counts bytes left over.
struct Mp3Scan {
    std::vector<Mp3Frame> frames;
    std::size_t trailing = 0;
    bool tagged() const { return !frames.empty() && frames[0].xingFrames.has_value(); }
    // Frames that carry audio: all but a leading tag frame.
    std::size_t audioFrames() const { return frames.size() - (tagged() ? 1 : 0); }
};
Mp3Scan ScanMp3(const std::string& bytes);

// A logarithmic sine sweep, 100 Hz to 8 kHz at half scale, in every channel
// (the second one at 0.7 of the first), interleaved.
std::vector<int16_t> SineSweep(int rate, int channels, double seconds);
// White noise at half scale in every channel, the same every call: content
// that makes a rate-controlled encoder spend the bits it aims at.
std::vector<int16_t> HalfScaleNoise(int rate, int channels, double seconds);
// A canonical 44-byte-header PCM WAV of `pcm`.
std::string WavFile(const std::vector<int16_t>& pcm, int rate, int channels);
// The same with a LIST chunk before the data chunk and an "id3 " chunk
// after it: none of their bytes is audio.
std::string WavAmongChunks(const std::vector<int16_t>& pcm, int rate, int channels);

struct Decoded {
    std::string errors;         // what ffmpeg -v error and mpg123 printed, with failing exits
    std::vector<int16_t> pcm;   // ffmpeg's decode, interleaved in `channels`
};
Decoded DecodeMp3(const std::string& path, int channels);

// Channel 0 of interleaved `pcm`.
std::vector<int16_t> Left(const std::vector<int16_t>& pcm, int channels);

// Every byte of `mp3` is a frame, both decoders take it without a word, and
// its decode in `channels` sounds like `expected` (one channel), lasting as
// long within one frame once the decoder's delay is found.
void ExpectFaithful(const std::string& mp3, const std::vector<int16_t>& expected, int channels);

}  // namespace zelph::test
