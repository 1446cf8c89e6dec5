// The library's exported C functions: thin wrappers that turn handles into
// the Compressor and Decompressor objects and keep every C++ exception and
// failure inside as an error code.

#include <memory>
#include <new>

#include "formats/pcmlimits.h"
#include "plugins/macdll/compressor.h"
#include "plugins/macdll/decompressor.h"
#include "plugins/macdll/macdll.h"

#define MACDLL_EXPORT extern "C" __attribute__((visibility("default")))

using zelph::ape::Compressor;
using zelph::ape::Decompressor;

namespace {

template <typename Work>
int Guarded(Work work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return ERROR_INSUFFICIENT_MEMORY;
    } catch (...) {
        return ERROR_UNDEFINED;
    }
}

Decompressor* AsDecompressor(APE_DECOMPRESS_HANDLE h) { return static_cast<Decompressor*>(h); }
Compressor* AsCompressor(APE_COMPRESS_HANDLE h) { return static_cast<Compressor*>(h); }

void SetError(int* out, int value) {
    if (out) *out = value;
}

}  // namespace

MACDLL_EXPORT int GetInterfaceCompatibility(int version, int /*showWarnings*/, void* /*parentWindow*/) {
    return version >= 3940 && version <= MAC_VERSION_NUMBER ? 0 : -1;
}

MACDLL_EXPORT APE_DECOMPRESS_HANDLE c_APEDecompress_Create(const char* path, int* error) {
    std::unique_ptr<Decompressor> d;
    const int result = Guarded([&] {
        if (!path) return int{ERROR_BAD_PARAMETER};
        int e = ERROR_SUCCESS;
        d = Decompressor::Open(zelph::ape::OpenFileSource(path), e);
        return e;
    });
    SetError(error, result);
    return result == ERROR_SUCCESS ? d.release() : nullptr;
}

MACDLL_EXPORT void c_APEDecompress_Destroy(APE_DECOMPRESS_HANDLE h) { delete AsDecompressor(h); }

MACDLL_EXPORT int c_APEDecompress_GetData(APE_DECOMPRESS_HANDLE h, char* buffer, int blocks, int* retrieved) {
    SetError(retrieved, 0);
    if (!h || !buffer || blocks < 0) return ERROR_BAD_PARAMETER;
    return Guarded([&] {
        uint32_t got = 0;
        const int e = AsDecompressor(h)->GetData(reinterpret_cast<uint8_t*>(buffer), uint32_t(blocks), got);
        SetError(retrieved, static_cast<int>(got));
        return e;
    });
}

MACDLL_EXPORT int c_APEDecompress_Seek(APE_DECOMPRESS_HANDLE h, int blockOffset) {
    if (!h || blockOffset < 0) return ERROR_BAD_PARAMETER;
    return Guarded([&] { return AsDecompressor(h)->Seek(uint64_t(blockOffset)); });
}

MACDLL_EXPORT int64_t c_APEDecompress_GetInfo(APE_DECOMPRESS_HANDLE h, int field, int64_t, int64_t) {
    return h ? AsDecompressor(h)->Info(field) : -1;
}

MACDLL_EXPORT APE_COMPRESS_HANDLE c_APECompress_Create(int* error) {
    Compressor* c = new (std::nothrow) Compressor;
    SetError(error, c ? ERROR_SUCCESS : ERROR_INSUFFICIENT_MEMORY);
    return c;
}

MACDLL_EXPORT void c_APECompress_Destroy(APE_COMPRESS_HANDLE h) { delete AsCompressor(h); }

MACDLL_EXPORT int c_APECompress_Start(APE_COMPRESS_HANDLE h, const char* path, const WAVEFORMATEX* format,
                                      int maxAudioBytes, int level, const void* headerData, int headerBytes) {
    if (!h || !path || !format || format->wFormatTag != 1) return ERROR_BAD_PARAMETER;
    if (!zelph::IsPcmFormat(format->nChannels, format->nSamplesPerSec, format->wBitsPerSample, format->nBlockAlign))
        return ERROR_BAD_PARAMETER;
    if (headerBytes > 0 && !headerData) return ERROR_BAD_PARAMETER;
    zelph::ape::CompressOptions o;
    o.format = {format->nChannels, format->wBitsPerSample, level};
    o.sampleRate = format->nSamplesPerSec;
    o.maxAudioBytes = maxAudioBytes;
    if (headerBytes > 0) o.wavHeader = {static_cast<const uint8_t*>(headerData), std::size_t(headerBytes)};
    o.createWavHeader = headerBytes == CREATE_WAV_HEADER_ON_DECOMPRESSION;
    return Guarded([&] { return AsCompressor(h)->Start(path, o); });
}

MACDLL_EXPORT int c_APECompress_AddData(APE_COMPRESS_HANDLE h, unsigned char* data, int bytes) {
    if (!h || bytes < 0 || (bytes > 0 && !data)) return ERROR_BAD_PARAMETER;
    return Guarded([&] { return AsCompressor(h)->AddData({data, std::size_t(bytes)}); });
}

MACDLL_EXPORT int c_APECompress_Finish(APE_COMPRESS_HANDLE h, unsigned char* tail, int tailBytes,
                                       int wavTailBytes) {
    if (!h || tailBytes < 0 || wavTailBytes < 0 || (tailBytes > 0 && !tail)) return ERROR_BAD_PARAMETER;
    return Guarded([&] {
        return AsCompressor(h)->Finish({tail, std::size_t(tailBytes)}, static_cast<uint32_t>(wavTailBytes));
    });
}
