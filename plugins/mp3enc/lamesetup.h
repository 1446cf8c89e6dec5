#pragma once
// One description of an MP3 encoding, whichever library interface it came
// through, and the LAME encoder set up from it.

#include <lame/lame.h>

#include <memory>

namespace zelph::mp3enc {

enum class RateControl { Cbr, Abr, Vbr };

struct EncoderOptions {
    int inputRate = 44100;
    int inputChannels = 2;     // interleaved 16-bit PCM
    int outputRate = 0;        // 0: LAME picks it from the input rate and bitrate
    MPEG_mode mode = NOT_SET;  // NOT_SET: LAME picks (joint stereo for two channels)
    bool forceMidSide = false;

    RateControl rateControl = RateControl::Cbr;
    int bitrate = 0;        // kbit/s: the CBR rate, else the VBR minimum; 0: LAME's default
    int maxBitrate = 0;     // kbit/s, VBR maximum; 0: LAME's default
    int abrBitrate = 0;     // kbit/s
    int vbrQuality = 4;     // 0 (best) .. 9
    vbr_mode vbrMethod = vbr_default;
    int lamePreset = 0;     // lame_set_preset code laid over the rate control; 0: none

    int quality = -1;       // algorithm quality 0 (best) .. 9; -1: LAME's default
    int lowpassHz = 0;      // 0: LAME's default
    int emphasis = 0;       // 0 none, 1 50/15 ms, 3 CCITT
    bool crc = false;
    bool copyright = false;
    bool original = true;
    bool privateBit = false;
    bool bitReservoir = true;
    bool strictIso = false;
    bool tagFrame = false;  // start the stream with a placeholder for the Xing/LAME tag
};

struct LameCloser {
    void operator()(lame_global_flags* lame) const { lame_close(lame); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameCloser>;

// Null when LAME cannot encode exactly what was asked: it would otherwise
// quietly move a CBR bitrate or an output rate to the nearest one it can carry.
LamePtr OpenLame(const EncoderOptions& options);

// Bytes of MP3 that encoding `samplesPerChannel` more samples can produce,
// with room for what the encoder holds back.
inline int Mp3BufferBound(int samplesPerChannel) { return samplesPerChannel * 5 / 4 + 7200; }

}  // namespace zelph::mp3enc
