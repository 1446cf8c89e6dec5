#pragma once
// The GoGo encoder interface offered by GoGo.so: one encoding at a time,
// configured by code, reading the WAV and writing the MP3 by path itself.

#include <cstdint>

namespace zelph {

using MERET = int32_t;
using UPARAM = uintptr_t;  // wide enough for the path pointers codes 1 and 2 carry

inline constexpr MERET ME_NOERR = 0;
inline constexpr MERET ME_EMPTYSTREAM = 1;  // the input is used up: the MP3 is complete
inline constexpr MERET ME_INTERNALERROR = 10;
inline constexpr MERET ME_PARAMERROR = 11;
inline constexpr MERET ME_INFILE_NOFOUND = 13;
inline constexpr MERET ME_OUTFILE_NOFOUND = 14;
inline constexpr MERET ME_FREQERROR = 15;
inline constexpr MERET ME_BITRATEERROR = 16;
inline constexpr MERET ME_WAVETYPE_ERR = 17;
inline constexpr MERET ME_NOMEMORY = 21;
inline constexpr MERET ME_WRITEERROR = 24;

// MPGE_setConfigure codes (first parameter, second parameter).
inline constexpr UPARAM MC_INPUTFILE = 1;   // MC_INPDEV_FILE, path
inline constexpr UPARAM MC_OUTPUTFILE = 2;  // MC_OUTDEV_FILE, path
inline constexpr UPARAM MC_ENCODEMODE = 3;  // MC_MODE_*
inline constexpr UPARAM MC_BITRATE = 4;     // kbit/s: CBR rate, or the ABR mean after MC_ABR
inline constexpr UPARAM MC_INPFREQ = 5;     // Hz of the PCM, overriding the WAV header's
inline constexpr UPARAM MC_OUTFREQ = 6;     // Hz of the MP3
inline constexpr UPARAM MC_USEPSY = 8;      // 0: no psycho-acoustic model
inline constexpr UPARAM MC_USELPF16 = 9;    // 1: low-pass at 16 kHz
inline constexpr UPARAM MC_USEMMX = 10;     // processor-unit switches: accepted, not needed
inline constexpr UPARAM MC_USE3DNOW = 11;
inline constexpr UPARAM MC_USEKNI = 12;
inline constexpr UPARAM MC_USEE3DNOW = 13;
inline constexpr UPARAM MC_EMPHASIS = 17;   // MC_EMP_*
inline constexpr UPARAM MC_VBR = 18;        // VBR at level 0 (best) .. 9
inline constexpr UPARAM MC_8BIT_PCM = 21;   // 1: the input must be 8-bit
inline constexpr UPARAM MC_MONO_PCM = 22;   // 1: the input must be mono
inline constexpr UPARAM MC_VBRBITRATE = 30; // VBR minimum, maximum in kbit/s
inline constexpr UPARAM MC_ENCODE_QUALITY = 36;  // 0 (best) .. 9
inline constexpr UPARAM MC_ABR = 37;        // 1: ABR at MC_BITRATE
inline constexpr UPARAM MC_USECMOV = 38;
inline constexpr UPARAM MC_USEEMMX = 39;
inline constexpr UPARAM MC_USESSE2 = 40;
inline constexpr UPARAM MC_WRITELAMETAG = 41;  // 1: Xing tag with LAME's extension, in every mode
inline constexpr UPARAM MC_WRITEVBRTAG = 42;   // 1: Xing tag for VBR and ABR
inline constexpr UPARAM MC_USEALTIVEC = 44;

inline constexpr UPARAM MC_INPDEV_FILE = 0;
inline constexpr UPARAM MC_OUTDEV_FILE = 0;

inline constexpr UPARAM MC_MODE_MONO = 0;
inline constexpr UPARAM MC_MODE_STEREO = 1;
inline constexpr UPARAM MC_MODE_JOINT = 2;
inline constexpr UPARAM MC_MODE_MSSTEREO = 3;
inline constexpr UPARAM MC_MODE_DUALCHANNEL = 4;

inline constexpr UPARAM MC_EMP_NONE = 0;
inline constexpr UPARAM MC_EMP_5015MS = 1;
inline constexpr UPARAM MC_EMP_CCITT = 3;

// MPGE_getConfigure codes.
inline constexpr UPARAM MG_COUNT_FRAME = 15;  // uint32_t: MPGE_processFrame calls that return ME_NOERR

inline constexpr uint32_t MU_tFPU = 1u << 0;

// Entry points, in the order an engine resolves them.
using MPGE_INITIALIZEWORK = MERET (*)();
using MPGE_SETCONFIGURE = MERET (*)(UPARAM code, UPARAM first, UPARAM second);
using MPGE_GETCONFIGURE = MERET (*)(UPARAM code, void* value);
// Opens both files and checks the configuration; a failure here is also
// the result of every later MPGE_processFrame.
using MPGE_DETECTCONFIGURE = MERET (*)();
// ME_NOERR: one frame's worth of input encoded, more follows; ME_EMPTYSTREAM:
// the input is used up and the MP3 complete; anything else: error.
using MPGE_PROCESSFRAME = MERET (*)();
using MPGE_CLOSECODER = MERET (*)();  // closes both files; an unfinished MP3 stays as written
using MPGE_ENDCODER = MERET (*)();    // forgets the configuration
using MPGE_GETUNITSTATES = MERET (*)(uint32_t* units);
using MPGE_PROCESSTRACK = MERET (*)();  // every remaining frame; ME_NOERR at the end

}  // namespace zelph
