#include "core/wavpcmengine.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>

#include "codecs/engine.h"
#include "core/naming.h"
#include "formats/exclusivefile.h"
#include "formats/waveheader.h"
#include "settings/settings.h"

namespace zelph {

namespace {

// The four sample forms, numbered so that a form is also a table index.
enum Form : int { kMono8, kMono16, kStereo8, kStereo16 };

constexpr int ChannelsOf(int form) { return form >= kStereo8 ? 2 : 1; }
constexpr int SampleBytesOf(int form) { return form == kMono16 || form == kStereo16 ? 2 : 1; }
constexpr uint32_t FrameBytesOf(int form) { return ChannelsOf(form) * SampleBytesOf(form); }

std::optional<Form> FormOf(uint16_t channels, uint16_t bitsPerSample) {
    if (channels < 1 || channels > 2 || (bitsPerSample != 8 && bitsPerSample != 16)) return {};
    return static_cast<Form>((channels - 1) * 2 + bitsPerSample / 16);
}

// Every sample passes through its 16-bit value: 8-bit u is (u − 128) × 256,
// and back it is the high byte with its top bit flipped. That one rule gives
// all sixteen conversions (same-form ones come out byte for byte).
template <int Bytes>
int ReadSample(const uint8_t* at) {
    if constexpr (Bytes == 1) return (at[0] - 128) * 256;
    else return static_cast<int16_t>(at[0] | at[1] << 8);
}

template <int Bytes>
void WriteSample(uint8_t* at, int sample) {
    if constexpr (Bytes == 1) {
        at[0] = static_cast<uint8_t>((sample >> 8) + 128);
    } else {
        at[0] = static_cast<uint8_t>(sample);
        at[1] = static_cast<uint8_t>(sample >> 8);
    }
}

// Stereo to mono keeps the left sample; mono to stereo doubles it.
template <int Source, int Target>
void ConvertFrames(const uint8_t* in, std::size_t frames, uint8_t* out) {
    constexpr int inBytes = SampleBytesOf(Source);
    constexpr int outBytes = SampleBytesOf(Target);
    for (std::size_t i = 0; i < frames; ++i) {
        const int left = ReadSample<inBytes>(in);
        const int right = ChannelsOf(Source) == 2 ? ReadSample<inBytes>(in + inBytes) : left;
        WriteSample<outBytes>(out, left);
        if constexpr (ChannelsOf(Target) == 2) WriteSample<outBytes>(out + outBytes, right);
        in += FrameBytesOf(Source);
        out += FrameBytesOf(Target);
    }
}

using FrameConverter = void (*)(const uint8_t* in, std::size_t frames, uint8_t* out);

template <int Target>
constexpr std::array<FrameConverter, 4> ConvertersTo() {
    return {ConvertFrames<kMono8, Target>, ConvertFrames<kMono16, Target>,
            ConvertFrames<kStereo8, Target>, ConvertFrames<kStereo16, Target>};
}

constexpr std::array<std::array<FrameConverter, 4>, 4> kConverters = {
    ConvertersTo<kMono8>(), ConvertersTo<kMono16>(), ConvertersTo<kStereo8>(),
    ConvertersTo<kStereo16>()};

constexpr std::size_t kBufferBytes = 8192;

// Source bytes per round, by target then source form; a round's output never
// exceeds kBufferBytes.
constexpr uint32_t kChunkBytes[4][4] = {
    {8192, 8192, 8192, 8192},  // to mono 8
    {4096, 8192, 8192, 8192},  // to mono 16
    {4096, 8192, 8192, 8192},  // to stereo 8
    {2048, 2048, 2048, 8192},  // to stereo 16
};

// Header and data of `target` form into `output`; true when all was written.
bool ConvertData(EngineRun& run, ExclusiveFile& source, ExclusiveFile& output, Form target) {
    WaveHeader header;
    const uint32_t dataOffset = ReadWaveHeader(source.fd(), header);
    if (dataOffset == 0) return false;
    const auto sourceForm = FormOf(header.channels, header.bitsPerSample);
    if (!sourceForm) return false;

    // Only the data chunk is audio, and only what the file holds of it; an
    // incomplete last frame is dropped, and the sizes say so.
    const uint64_t frames = AudioBytesOf(header, dataOffset, source.Size()) / FrameBytesOf(*sourceForm);
    const uint64_t sourceBytes = frames * FrameBytesOf(*sourceForm);
    const uint64_t outputBytes = frames * FrameBytesOf(target);
    if (outputBytes > UINT32_MAX - 36) return false;

    header.fmtSize = 16;
    header.channels = static_cast<uint16_t>(ChannelsOf(target));
    header.bitsPerSample = static_cast<uint16_t>(SampleBytesOf(target) * 8);
    header.blockAlign = static_cast<uint16_t>(FrameBytesOf(target));
    header.byteRate = header.blockAlign * header.sampleRate;
    header.dataSize = static_cast<uint32_t>(outputBytes);
    header.riffSize = header.dataSize + 36;
    if (!WriteWaveHeader(output, header)) return false;

    const FrameConverter convert = kConverters[target][*sourceForm];
    const uint32_t chunkBytes = kChunkBytes[target][*sourceForm];
    std::array<uint8_t, kBufferBytes> in;
    std::array<uint8_t, kBufferBytes> out;
    uint64_t done = 0;
    while (done < sourceBytes) {
        const auto chunk = static_cast<std::size_t>(std::min<uint64_t>(chunkBytes, sourceBytes - done));
        if (source.Read(in.data(), chunk) != chunk) return false;
        const std::size_t chunkFrames = chunk / FrameBytesOf(*sourceForm);
        convert(in.data(), chunkFrames, out.data());
        if (!output.WriteAll(out.data(), chunkFrames * FrameBytesOf(target))) return false;
        done += chunk;
        run.Progress(done, sourceBytes);
        // Seen once per chunk, so the output is never left mid-chunk.
        if (run.StopRequested()) return false;
    }
    return true;
}

void ConvertTo(Job* job, Form target) {
    RunEngine(job, [target](EngineRun& run) {
        const Job& job = run.job();
        const bool inPlace = job.targetPath.empty();
        const std::string outputPath = inPlace ? MakeUniqueName(job.sourcePath) : job.targetPath;

        ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
        ExclusiveFile output(outputPath, ExclusiveFile::kCreate);
        bool complete = source.is_open() && output.is_open() && ConvertData(run, source, output, target);
        const bool created = output.is_open();
        complete = output.Close() && complete;
        source.Close();
        if (!inPlace || !created) return complete;

        // In place, the source gives way only to a complete conversion; a
        // failed or stopped one leaves the source as it was.
        if (complete && ::rename(outputPath.c_str(), job.sourcePath.c_str()) == 0) return true;
        ::unlink(outputPath.c_str());
        return false;
    });
}

}  // namespace

void ConvertToMono8(Job* job) { ConvertTo(job, kMono8); }
void ConvertToMono16(Job* job) { ConvertTo(job, kMono16); }
void ConvertToStereo8(Job* job) { ConvertTo(job, kStereo8); }
void ConvertToStereo16(Job* job) { ConvertTo(job, kStereo16); }

void EncodeWavPcm(Job* job) {
    const auto* params = static_cast<const WavPcmSettings*>(job->engineParams);
    if (!params) return ConvertToStereo16(job);
    const int channels = params->channelMode;
    const int sampleSize = params->sampleSizeMode;
    if (channels == 1 && sampleSize == 1) return ConvertToMono8(job);
    if (channels == 1 && sampleSize == 2) return ConvertToMono16(job);
    if (channels == 2 && sampleSize == 1) return ConvertToStereo8(job);
    if (channels == 2 && sampleSize == 2) return ConvertToStereo16(job);
    RunEngine(job, [](EngineRun&) { return false; });
}

}  // namespace zelph
