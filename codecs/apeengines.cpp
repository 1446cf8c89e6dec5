#include "codecs/apeengines.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/engine.h"
#include "codecs/reasons.h"
#include "codecs/libraryloader.h"
#include "codecs/pcmfiles.h"
#include "formats/exclusivefile.h"
#include "formats/pcmlimits.h"
#include "formats/waveheader.h"
#include "plugins/macdll/macdll.h"
#include "settings/settings.h"

namespace zelph {

namespace {

constexpr char kLibraryFile[] = "MACDll.so";
constexpr int kBlocksPerCall = 1024;
constexpr std::size_t kBytesPerCall = 1024;

// A compressor or decompressor, destroyed through the library that made it.
// Declared after the CodecLibraries, so it goes before the library does.
using CodecHandle = std::unique_ptr<void, void (*)(void*)>;

// Every entry point of MACDll.so, resolved together: the library serves
// both engines, so it is resolved in one place.
struct MacDllCalls {
    proc_GetInterfaceCompatibility compatibility = nullptr;
    proc_APEDecompress_Create decompressCreate = nullptr;
    proc_APEDecompress_Destroy decompressDestroy = nullptr;
    proc_APEDecompress_GetData getData = nullptr;
    proc_APEDecompress_Seek seek = nullptr;
    proc_APEDecompress_GetInfo getInfo = nullptr;
    proc_APECompress_Create compressCreate = nullptr;
    proc_APECompress_Destroy compressDestroy = nullptr;
    proc_APECompress_Start start = nullptr;
    proc_APECompress_AddData addData = nullptr;
    proc_APECompress_Finish finish = nullptr;

    bool Load(CodecLibraries& libs) {
        return libs.Load(kLibraryFile, {Bind("GetInterfaceCompatibility", compatibility),
                                        Bind("c_APEDecompress_Create", decompressCreate),
                                        Bind("c_APEDecompress_Destroy", decompressDestroy),
                                        Bind("c_APEDecompress_GetData", getData),
                                        Bind("c_APEDecompress_Seek", seek),
                                        Bind("c_APEDecompress_GetInfo", getInfo),
                                        Bind("c_APECompress_Create", compressCreate),
                                        Bind("c_APECompress_Destroy", compressDestroy),
                                        Bind("c_APECompress_Start", start),
                                        Bind("c_APECompress_AddData", addData),
                                        Bind("c_APECompress_Finish", finish)});
    }
};

// What the decoder reports about the file, checked before any of it sizes a
// buffer or a header: it comes from the file's own bytes.
struct DecodedLayout {
    // totalBlocks: what the file holds whole; statedBlocks: what its header states.
    int64_t blockAlign, totalBlocks, statedBlocks, channels, sampleRate, bitsPerSample;

    bool Valid() const {
        const bool known = channels >= 1 && channels <= UINT16_MAX && sampleRate >= 1 && sampleRate <= UINT32_MAX &&
                           (bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32);
        return known && blockAlign == channels * bitsPerSample / 8 && totalBlocks >= 0 && statedBlocks >= totalBlocks &&
               totalBlocks <= (int64_t{UINT32_MAX} - 36) / blockAlign;
    }
    uint32_t dataBytes() const { return static_cast<uint32_t>(totalBlocks * blockAlign); }
};

DecodedLayout AskLayout(const MacDllCalls& calls, void* decompressor) {
    auto ask = [&](int field) { return calls.getInfo(decompressor, field, 0, 0); };
    DecodedLayout layout{};
    layout.blockAlign = ask(APE_INFO_BLOCK_ALIGN);
    layout.totalBlocks = ask(APE_DECOMPRESS_TOTAL_BLOCKS);
    layout.statedBlocks = ask(APE_INFO_TOTAL_BLOCKS);
    layout.channels = ask(APE_INFO_CHANNELS);
    layout.sampleRate = ask(APE_INFO_SAMPLE_RATE);
    layout.bitsPerSample = ask(APE_INFO_BITS_PER_SAMPLE);
    return layout;
}

// The library takes the source's format in the WAVEFORMATEX layout.
WAVEFORMATEX FormatRecord(const WaveHeader& header) {
    WAVEFORMATEX format{};
    format.wFormatTag = 1;
    format.nChannels = header.channels;
    format.nSamplesPerSec = header.sampleRate;
    format.wBitsPerSample = header.bitsPerSample;
    format.nBlockAlign = static_cast<uint16_t>(header.bitsPerSample / 8 * header.channels);
    format.nAvgBytesPerSec = format.nBlockAlign * header.sampleRate;
    format.cbSize = 0;
    return format;
}

}  // namespace

void DecodeApe(const Job& job, JobState& state) {
    EngineRun run(job, state);
    ExclusiveFile target(job.targetPath, ExclusiveFile::kCreate);
    if (!target.is_open()) return run.Fail(WriteProblem(target.error()));
    MacDllCalls calls;
    CodecLibraries libs;
    if (!calls.Load(libs)) return run.Fail(libs.error());
    if (calls.compatibility(MAC_VERSION_NUMBER, 1, nullptr) != 0)
        return run.Fail("Plugins/" + std::string(kLibraryFile) + " does not read this version of the format");

    int createError = 0;
    const CodecHandle decompressor(calls.decompressCreate(job.sourcePath.c_str(), &createError), calls.decompressDestroy);
    if (!decompressor) return run.Fail("not a Monkey's Audio file it can read");
    const DecodedLayout layout = AskLayout(calls, decompressor.get());
    if (!layout.Valid()) return run.Fail("a Monkey's Audio header this converter does not take");
    std::vector<char> buffer(static_cast<std::size_t>(layout.blockAlign) * kBlocksPerCall);

    // The sizes are known up front, so the header is complete before any sample.
    if (!WriteWaveHeader(target, MakeWaveHeader(static_cast<uint16_t>(layout.channels),
                                                static_cast<uint32_t>(layout.sampleRate),
                                                static_cast<uint16_t>(layout.bitsPerSample), layout.dataBytes())))
        return run.Fail(WriteProblem(target.error()));

    // Every frame the file holds must arrive: a damaged frame (the library
    // reports an error) fails the job rather than leaving a WAV with a hole
    // in it. A file that ends early gives the frames before its end.
    for (int64_t done = 0; done < layout.totalBlocks;) {
        int retrieved = 0;
        if (calls.getData(decompressor.get(), buffer.data(), kBlocksPerCall, &retrieved) != 0 || retrieved <= 0 ||
            retrieved > kBlocksPerCall || retrieved > layout.totalBlocks - done)
            return run.Fail("damaged Monkey's Audio frame");
        if (!target.WriteAll(buffer.data(), static_cast<std::size_t>(retrieved * layout.blockAlign)))
            return run.Fail(WriteProblem(target.error()));
        done += retrieved;
        run.Progress(static_cast<uint64_t>(done), static_cast<uint64_t>(layout.totalBlocks));
        if (run.StopRequested()) return;
    }
    if (!target.Close()) return run.Fail(WriteProblem(target.error()));
    run.Note(EndsEarly(static_cast<uint64_t>(layout.totalBlocks), static_cast<uint64_t>(layout.statedBlocks), 0,
                       static_cast<uint32_t>(layout.sampleRate)));
    run.Succeed();
}

void EncodeApe(const Job& job, JobState& state) {
    EngineRun run(job, state);
    const auto* settings = RequiredSettings<ApeSettings>(run);
    if (!settings) return;
    // The audio is the data chunk alone: chunks after it are never compressed as sound.
    WavSource source(job.sourcePath);
    if (!source.ok()) return run.Fail(source.problem());
    if (!IsPcmFormat(source.header())) return run.Fail("a WAV header with an impossible rate, channel count or sample size");
    MacDllCalls calls;
    CodecLibraries libs;
    if (!calls.Load(libs)) return run.Fail(libs.error());

    // The library counts the audio in a 32-bit signed int.
    if (source.audioBytes() > static_cast<uint64_t>(INT32_MAX))
        return run.Fail("Monkey's Audio files hold at most 2 GiB of audio");
    const WAVEFORMATEX format = FormatRecord(source.header());
    int createError = 0;
    const CodecHandle compressor(calls.compressCreate(&createError), calls.compressDestroy);
    if (!compressor ||
        calls.start(compressor.get(), job.targetPath.c_str(), &format, static_cast<int>(source.audioBytes()),
                    settings->compressionLevel, nullptr, CREATE_WAV_HEADER_ON_DECOMPRESSION) != 0)
        return run.Fail("the Monkey's Audio encoder cannot start on " + std::to_string(source.header().channels) +
                        " channels of " + std::to_string(source.header().bitsPerSample) + " bits");

    unsigned char block[kBytesPerCall];
    while (!source.atEnd()) {
        std::size_t count = 0;
        if (!source.Read(block, sizeof block, count)) return run.Fail(source.problem());
        if (calls.addData(compressor.get(), block, static_cast<int>(count)) != 0)
            return run.Fail("cannot write the Monkey's Audio file");
        run.Progress(source.bytesRead(), source.audioBytes());
        // A stopped encode still leaves a playable file of what was added.
        if (run.StopRequested()) {
            calls.finish(compressor.get(), nullptr, 0, 0);
            return;
        }
    }
    if (calls.finish(compressor.get(), nullptr, 0, 0) != 0) return run.Fail("cannot write the Monkey's Audio file");
    run.Succeed();
}

const EngineDescriptor kDecApeMonkey{"DECAPEMONKEY", DecodeApe};

const EngineDescriptor kEncApeMonkey{"ENCAPEMONKEY", EncodeApe};

}  // namespace zelph
