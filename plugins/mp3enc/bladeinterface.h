#pragma once
// The BladeEnc-style encoder interface offered by Lame_Enc.so and BladeEnc.so:
// the configuration record in its MP3 and LAME forms, the result codes and the
// entry-point types an engine resolves by name. Windows' DWORD, BOOL and LONG
// are 32-bit here as there, so the record keeps its published byte layout.

#include <cstddef>
#include <cstdint>

namespace zelph {

using BE_ERR = uint32_t;
using HBE_STREAM = void*;

inline constexpr uint32_t BE_CONFIG_MP3 = 0;
inline constexpr uint32_t BE_CONFIG_LAME = 256;

inline constexpr BE_ERR BE_ERR_SUCCESSFUL = 0;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT = 1;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 2;
inline constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 3;
inline constexpr BE_ERR BE_ERR_INVALID_HANDLE = 4;
inline constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 5;

inline constexpr int32_t BE_MP3_MODE_STEREO = 0;
inline constexpr int32_t BE_MP3_MODE_JSTEREO = 1;
inline constexpr int32_t BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr int32_t BE_MP3_MODE_MONO = 3;

inline constexpr uint32_t MPEG1 = 1;
inline constexpr uint32_t MPEG2 = 0;

inline constexpr uint32_t CURRENT_STRUCT_VERSION = 1;
inline constexpr uint32_t CURRENT_STRUCT_SIZE = 331;

enum VBRMETHOD : int32_t {
    VBR_METHOD_NONE = -1,
    VBR_METHOD_DEFAULT = 0,
    VBR_METHOD_OLD = 1,
    VBR_METHOD_NEW = 2,
    VBR_METHOD_MTRH = 3,
    VBR_METHOD_ABR = 4,
};

// The presets a settings window offers (nPreset).
enum LAME_QUALITY_PRESET : int32_t {
    LQP_NOPRESET = -1,
    LQP_NORMAL_QUALITY = 0,
    LQP_LOW_QUALITY = 1,
    LQP_HIGH_QUALITY = 2,
    LQP_VOICE_QUALITY = 3,
    LQP_R3MIX = 4,
    LQP_PHONE = 1000,
    LQP_SW = 2000,
    LQP_AM = 3000,
    LQP_FM = 4000,
    LQP_VOICE = 5000,
    LQP_RADIO = 6000,
    LQP_TAPE = 7000,
    LQP_HIFI = 8000,
    LQP_CD = 9000,
    LQP_STUDIO = 10000,
};

#pragma pack(push, 1)
struct BE_CONFIG {
    uint32_t dwConfig;  // BE_CONFIG_MP3 or BE_CONFIG_LAME: which form of `format` is filled
    union {
        struct {
            uint32_t dwSampleRate;  // 32000, 44100 or 48000
            uint8_t byMode;         // BE_MP3_MODE_STEREO, _DUALCHANNEL or _MONO
            uint16_t wBitrate;      // kbit/s
            int32_t bPrivate;
            int32_t bCRC;
            int32_t bCopyright;
            int32_t bOriginal;
        } mp3;
        struct {
            uint32_t dwStructVersion;
            uint32_t dwStructSize;
            uint32_t dwSampleRate;    // of the PCM handed in
            uint32_t dwReSampleRate;  // 0: the encoder decides
            int32_t nMode;            // BE_MP3_MODE_*; mono means one input channel
            uint32_t dwBitrate;       // CBR bitrate, or the VBR minimum
            uint32_t dwMaxBitrate;    // VBR maximum
            int32_t nPreset;          // LAME_QUALITY_PRESET
            uint32_t dwMpegVersion;   // MPEG1 or MPEG2
            uint32_t dwPsyModel;
            uint32_t dwEmphasis;
            int32_t bPrivate;
            int32_t bCRC;
            int32_t bCopyright;
            int32_t bOriginal;
            int32_t bWriteVBRHeader;  // leave a tag frame for beWriteVBRHeader
            int32_t bEnableVBR;
            int32_t nVBRQuality;      // 0..9
            uint32_t dwVbrAbr_bps;    // non-zero: ABR at this many bits per second
            int32_t nVbrMethod;       // VBRMETHOD
            int32_t bNoRes;           // no bit reservoir
            int32_t bStrictIso;
            uint16_t nQuality;        // low byte the quality, high byte its complement
            uint8_t btReserved[255 - 4 * sizeof(uint32_t) - sizeof(uint16_t)];
        } LHV1;
        struct {
            uint32_t dwSampleRate;
            uint8_t byMode;
            uint16_t wBitrate;
            uint8_t byEncodingMethod;
        } aac;
    } format;
};
#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == CURRENT_STRUCT_SIZE);
static_assert(offsetof(BE_CONFIG, format.mp3.wBitrate) == 9);
static_assert(offsetof(BE_CONFIG, format.LHV1.nQuality) == 92);

// Entry points. The sample counts are 16-bit samples, both channels together.
using BEINITSTREAM = BE_ERR (*)(BE_CONFIG* config, uint32_t* chunkSamples, uint32_t* mp3BufferSize,
                                HBE_STREAM* stream);
using BEENCODECHUNK = BE_ERR (*)(HBE_STREAM stream, uint32_t samples, int16_t* pcm, uint8_t* mp3,
                                 uint32_t* mp3Bytes);
using BEDEINITSTREAM = BE_ERR (*)(HBE_STREAM stream, uint8_t* mp3, uint32_t* mp3Bytes);
using BECLOSESTREAM = BE_ERR (*)(HBE_STREAM stream);
// Fills the tag frame of the last closed stream that asked for one into the
// placeholder at the start of that stream's file.
using BEWRITEVBRHEADER = BE_ERR (*)(const char* mp3Path);

}  // namespace zelph
