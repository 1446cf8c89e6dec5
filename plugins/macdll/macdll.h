#pragma once
// Plain function interface of the Monkey's Audio codec library (MACDll.so),
// as the engines resolve it by name. Paths are UTF-8.

#include <cstdint>

extern "C" {

typedef void* APE_DECOMPRESS_HANDLE;
typedef void* APE_COMPRESS_HANDLE;

#pragma pack(push, 1)
// The input format record: the Windows WAVEFORMATEX layout (18 bytes).
typedef struct {
    uint16_t wFormatTag;  // 1: PCM
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
} WAVEFORMATEX;
#pragma pack(pop)

enum {
    MAC_VERSION_NUMBER = 3990,

    COMPRESSION_LEVEL_FAST = 1000,
    COMPRESSION_LEVEL_NORMAL = 2000,
    COMPRESSION_LEVEL_HIGH = 3000,
    COMPRESSION_LEVEL_EXTRA_HIGH = 4000,
    COMPRESSION_LEVEL_INSANE = 5000,

    // Maximum audio bytes for c_APECompress_Start when the length is not known.
    MAX_AUDIO_BYTES_UNKNOWN = -1,
    // Header bytes for c_APECompress_Start: build the WAV header on decompression.
    CREATE_WAV_HEADER_ON_DECOMPRESSION = -1,

    ERROR_SUCCESS = 0,
    ERROR_IO_READ = 1000,
    ERROR_IO_WRITE = 1001,
    ERROR_INVALID_INPUT_FILE = 1002,
    ERROR_UNSUPPORTED_FILE_VERSION = 1006,
    ERROR_INVALID_CHECKSUM = 1009,
    ERROR_DECOMPRESSING_FRAME = 1010,
    ERROR_INPUT_FILE_TOO_LARGE = 1011,
    ERROR_INSUFFICIENT_MEMORY = 2000,
    ERROR_BAD_PARAMETER = 5000,
    ERROR_UNDEFINED = -1,
};

// Field codes for c_APEDecompress_GetInfo.
enum APE_DECOMPRESS_FIELDS {
    APE_INFO_FILE_VERSION = 1000,
    APE_INFO_COMPRESSION_LEVEL = 1001,
    APE_INFO_FORMAT_FLAGS = 1002,
    APE_INFO_SAMPLE_RATE = 1003,
    APE_INFO_BITS_PER_SAMPLE = 1004,
    APE_INFO_BYTES_PER_SAMPLE = 1005,
    APE_INFO_CHANNELS = 1006,
    APE_INFO_BLOCK_ALIGN = 1007,
    APE_INFO_BLOCKS_PER_FRAME = 1008,
    APE_INFO_FINAL_FRAME_BLOCKS = 1009,
    APE_INFO_TOTAL_FRAMES = 1010,
    APE_INFO_WAV_HEADER_BYTES = 1011,
    APE_INFO_WAV_TERMINATING_BYTES = 1012,
    APE_INFO_WAV_DATA_BYTES = 1013,
    APE_INFO_TOTAL_BLOCKS = 1016,
    APE_INFO_LENGTH_MS = 1017,

    APE_DECOMPRESS_CURRENT_BLOCK = 2000,
    APE_DECOMPRESS_CURRENT_MS = 2001,
    APE_DECOMPRESS_TOTAL_BLOCKS = 2002,
    APE_DECOMPRESS_LENGTH_MS = 2003,
};

// 0 when this library serves a caller built for `version`; no dialogs exist
// here, so the two display arguments are accepted and ignored.
typedef int (*proc_GetInterfaceCompatibility)(int version, int showWarnings, void* parentWindow);

// Decoding. GetData delivers up to `blocks` sample frames, interleaved as in
// a WAV file, and 0 frames at the end. A damaged frame (bad CRC or coding)
// returns an error with 0 frames, and every later call does the same.
typedef APE_DECOMPRESS_HANDLE (*proc_APEDecompress_Create)(const char* path, int* error);
typedef void (*proc_APEDecompress_Destroy)(APE_DECOMPRESS_HANDLE);
typedef int (*proc_APEDecompress_GetData)(APE_DECOMPRESS_HANDLE, char* buffer, int blocks, int* retrieved);
typedef int (*proc_APEDecompress_Seek)(APE_DECOMPRESS_HANDLE, int blockOffset);
typedef int64_t (*proc_APEDecompress_GetInfo)(APE_DECOMPRESS_HANDLE, int field, int64_t param1, int64_t param2);

// Encoding. Start creates the file; AddData takes any byte count; Finish
// writes what is buffered plus optional trailing WAV bytes and completes the
// file's header, seek table and MD5.
typedef APE_COMPRESS_HANDLE (*proc_APECompress_Create)(int* error);
typedef void (*proc_APECompress_Destroy)(APE_COMPRESS_HANDLE);
typedef int (*proc_APECompress_Start)(APE_COMPRESS_HANDLE, const char* path, const WAVEFORMATEX* format,
                                      int maxAudioBytes, int level, const void* headerData, int headerBytes);
typedef int (*proc_APECompress_AddData)(APE_COMPRESS_HANDLE, unsigned char* data, int bytes);
typedef int (*proc_APECompress_Finish)(APE_COMPRESS_HANDLE, unsigned char* tail, int tailBytes,
                                       int wavTailBytes);

}  // extern "C"
