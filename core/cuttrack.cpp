#include "core/cuttrack.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "codecs/engine.h"
#include "codecs/reasons.h"
#include "core/cuesheet.h"
#include "core/wavrewrite.h"
#include "formats/exclusivefile.h"
#include "formats/waveheader.h"

namespace zelph {

namespace {

constexpr std::size_t kBlockBytes = 1 << 20;

// The header of the track's `bytes`: integer PCM in the form other tools
// read at any length, floating point in the plain header.
bool WriteTrackHeader(ExclusiveFile& target, const WaveHeader& source, uint64_t bytes) {
    if (source.formatTag == kWaveFormatPcm)
        return WriteSizedWaveHeader(target, source.channels, source.sampleRate, source.bitsPerSample, bytes);
    WaveHeader header = MakeWaveHeader(source.channels, source.sampleRate, source.bitsPerSample,
                                       static_cast<uint32_t>(bytes));
    header.formatTag = kWaveFormatFloat;
    return WriteWaveHeader(target, header);
}

bool CopyRange(EngineRun& run, ExclusiveFile& source, uint64_t offset, uint64_t bytes, ExclusiveFile& target) {
    if (!source.SeekTo(offset)) {
        run.Fail(ReadProblem(run.job().sourcePath, errno));
        return false;
    }
    std::vector<char> block(kBlockBytes);
    for (uint64_t done = 0; done < bytes;) {
        const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(block.size(), bytes - done));
        if (source.Read(block.data(), want) != want) {
            run.Fail("the WAV file ends before its audio does");
            return false;
        }
        if (!target.WriteAll(block.data(), want)) {
            run.Fail(WriteProblem(target.error()));
            return false;
        }
        done += want;
        run.Progress(done, bytes);
        if (run.StopRequested()) return false;
    }
    if (target.Close()) return true;
    run.Fail(WriteProblem(target.error()));
    return false;
}

}  // namespace

void CutTrack(const Job& job, JobState& state) {
    EngineRun run(job, state);
    ExclusiveFile source(job.sourcePath, ExclusiveFile::kRead);
    WaveFormat format;
    const uint32_t dataOffset = ReadSourceWav(run, source, format);
    if (dataOffset == 0) return;

    const int64_t rate = format.header.sampleRate, frameBytes = format.header.blockAlign;
    const auto samples = static_cast<int64_t>(format.audioBytes / static_cast<uint64_t>(frameBytes));
    const int64_t first = SampleOfCdFrame(job.firstFrame, rate);
    const int64_t end = job.endFrame < 0 ? samples : SampleOfCdFrame(job.endFrame, rate);
    if (first >= samples) return run.Fail("the sheet places the track after the end of its image");
    if (end > samples) return run.Fail("the sheet has the track end after the end of its image");
    const uint64_t bytes = static_cast<uint64_t>((end - first) * frameBytes);

    WriteWavOutput(run, [&](ExclusiveFile& target) {
        if (WriteTrackHeader(target, format.header, bytes))
            return CopyRange(run, source, dataOffset + static_cast<uint64_t>(first * frameBytes), bytes, target);
        run.Fail(WriteProblem(target.error()));
        return false;
    });
}

const EngineDescriptor kCutTrack{"CUT", CutTrack};

}  // namespace zelph
