#include "codecs/wavpcmengine.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>

#include "codecs/engine.h"
#include "codecs/reasons.h"
#include "codecs/samplereduction.h"
#include "formats/exclusivefile.h"
#include "formats/runfilehold.h"
#include "formats/waveheader.h"
#include "settings/settings.h"

namespace zelph {

namespace {

// One sample, as a signed 16-bit value, from either sample size.
int16_t Sample16(const uint8_t* at, int bits) {
    if (bits == 8) return static_cast<int16_t>((at[0] - 128) * 256);
    return static_cast<int16_t>(at[0] | (at[1] << 8));
}

void PutSample(uint8_t* at, int16_t sample, int bits) {
    if (bits == 8) {
        at[0] = static_cast<uint8_t>((sample >> 8) + 128);
    } else {
        at[0] = static_cast<uint8_t>(sample);
        at[1] = static_cast<uint8_t>(sample >> 8);
    }
}

// To mono keeps the first (left) sample; mono to stereo doubles it.
std::size_t ConvertFrames(const uint8_t* in, std::size_t frames, PcmForm from, PcmForm to, uint8_t* out) {
    const int inSample = from.bits / 8, outSample = to.bits / 8;
    for (std::size_t f = 0; f < frames; ++f, in += from.frameBytes(), out += to.frameBytes()) {
        const int16_t left = Sample16(in, from.bits);
        const int16_t right = from.channels == 2 ? Sample16(in + inSample, from.bits) : left;
        PutSample(out, left, to.bits);
        if (to.channels == 2) PutSample(out + outSample, right, to.bits);
    }
    return frames * to.frameBytes();
}

constexpr std::size_t kBlockBytes = 8192;
// Between two looks at the stop request when the audio is copied unchanged.
constexpr std::size_t kCopyBytes = 1 << 16;

// Copies `bytes` audio bytes unchanged from the source's position to the
// target's, in the kernel where the file system allows (the bytes never
// pass through our buffers), else through `buffer`.
// Returns "" or why the copy failed.
std::string CopyAudio(ExclusiveFile& source, ExclusiveFile& target, std::size_t bytes, std::span<uint8_t> buffer) {
    constexpr const char* kEndedEarly = "the WAV file ends before its audio does";
    while (bytes > 0) {
        const ssize_t copied = ::copy_file_range(source.fd(), nullptr, target.fd(), nullptr, bytes, 0);
        if (copied > 0) {
            bytes -= static_cast<std::size_t>(copied);
            continue;
        }
        if (copied == 0) return kEndedEarly;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF)
            return WriteProblem(errno);
        const std::size_t piece = std::min(bytes, buffer.size());
        if (source.Read(buffer.data(), piece) != piece) return kEndedEarly;
        if (!target.WriteAll(buffer.data(), piece)) return WriteProblem(target.error());
        bytes -= piece;
    }
    return "";
}

// The form the output takes. A zero count or size keeps the source's: integer
// PCM of any channel count and size passes as it is; a source that has to
// change at all goes through the reductions, which give 1 or 2 channels of 8
// or 16 bits (float is brought to 16 bits, more channels fold to stereo).
}  // namespace

PcmForm ResolveForm(PcmForm wanted, const WaveHeader& source) {
    const PcmForm from{source.channels, source.bitsPerSample};
    const bool keepChannels = (wanted.channels == 0 && from.channels <= wanted.keepUpTo) || wanted.channels == from.channels;
    const bool keepBits = wanted.bits == 0 || wanted.bits == from.bits;
    if (source.formatTag == kWaveFormatPcm && keepChannels && keepBits) return from;
    return {wanted.channels ? wanted.channels : std::min(from.channels, 2),
            wanted.bits ? wanted.bits : (source.formatTag == kWaveFormatPcm && from.bits <= 8 ? 8 : 16)};
}

namespace {

// Converts `source` into `target`; true when every audio byte was converted
// and written. A stop is honoured between blocks, so the target is never
// left mid-write.
bool ConvertFile(EngineRun& run, const std::string& sourcePath, const std::string& targetPath, PcmForm wanted) {
    const auto fail = [&run](std::string reason) {
        run.Fail(std::move(reason));
        return false;
    };
    ExclusiveFile source(sourcePath, ExclusiveFile::kRead);
    if (!source.is_open()) return fail(ReadProblem(sourcePath, source.error()));
    ExclusiveFile target(targetPath, ExclusiveFile::kCreate);
    if (!target.is_open()) return fail(WriteProblem(target.error()));

    WaveFormat format;
    std::string reason;
    if (ReadWaveFormat(source.fd(), format, &reason) == 0)
        return fail(reason.empty() ? "not a WAV file it can read" : reason);
    const WaveHeader& header = format.header;
    const PcmForm from{header.channels, header.bitsPerSample};
    if (!IsReducibleSource(format))
        return fail("a WAV form it does not take (" + std::to_string(header.channels) + " channels of " +
                    std::to_string(header.bitsPerSample) + " bits)");
    const PcmForm to = ResolveForm(wanted, header);
    const bool unchanged = header.formatTag == kWaveFormatPcm && from.channels == to.channels && from.bits == to.bits;
    // 8- and 16-bit mono and stereo keep their exact sample rules; every
    // other form is widened, folded and dithered.
    const bool exact = header.formatTag == kWaveFormatPcm && from.channels <= 2 && from.bits <= 16;
    std::optional<SampleReducer> reducer;
    if (!exact && !unchanged) reducer.emplace(format, to.channels, to.bits);

    const uint64_t frames = format.audioBytes / from.frameBytes();
    if (!WriteSizedWaveHeader(target, static_cast<uint16_t>(to.channels), header.sampleRate,
                              static_cast<uint16_t>(to.bits), frames * to.frameBytes()))
        return fail(WriteProblem(target.error()));

    // Blocks hold whole frames on both sides and never exceed 8 KiB of
    // output, but for a copy of the audio as it stands.
    const std::size_t framesPerBlock =
        (unchanged ? kCopyBytes : kBlockBytes) / static_cast<std::size_t>(std::max(from.frameBytes(), to.frameBytes()));
    std::array<uint8_t, kBlockBytes> in{}, converted{};
    for (uint64_t done = 0; done < frames;) {
        const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(framesPerBlock, frames - done));
        const std::size_t bytes = count * from.frameBytes();
        if (unchanged) {
            if (std::string problem = CopyAudio(source, target, bytes, in); !problem.empty()) return fail(problem);
        } else {
            if (source.Read(in.data(), bytes) != bytes) return fail("the WAV file ends before its audio does");
            const std::size_t produced = reducer ? reducer->Convert(in.data(), count, converted.data())
                                                 : ConvertFrames(in.data(), count, from, to, converted.data());
            if (!target.WriteAll(converted.data(), produced)) return fail(WriteProblem(target.error()));
        }
        done += count;
        run.Progress(done, frames);
        if (run.StopRequested() && done < frames) return false;
    }
    run.Note(EndsEarly(frames, format.statedAudioBytes / from.frameBytes(), 0, header.sampleRate));
    return target.Close() || fail(WriteProblem(target.error()));
}

// True when `path` is a WAV file that `wanted` leaves as it is (a file
// that ends before its audio does gets a header that tells the truth).
bool KeptAsItIs(const std::string& path, PcmForm wanted) {
    ExclusiveFile source(path, ExclusiveFile::kRead);
    WaveFormat format;
    if (!source.is_open() || ReadWaveFormat(source.fd(), format) == 0 || !IsReducibleSource(format) ||
        format.statedAudioBytes != format.audioBytes)
        return false;
    const PcmForm to = ResolveForm(wanted, format.header);
    return format.header.formatTag == kWaveFormatPcm && to.channels == format.header.channels &&
           to.bits == format.header.bitsPerSample;
}

// Makes `target` a second name of `source`'s file, replacing what `target`
// named; false when the file system cannot (another device, no links).
// `held` keeps the run's lock on the file now at `target`.
bool LinkAs(const std::string& source, const std::string& target, int& held) {
    int scratch = -1;
    const std::string name = NewFileBeside(target, scratch);
    if (name.empty()) return false;
    ::close(scratch);
    held = -1;
    const bool linked = ::unlink(name.c_str()) == 0 && ::link(source.c_str(), name.c_str()) == 0 &&
                        (held = OpenLocked(name, O_RDONLY)) >= 0 && ::rename(name.c_str(), target.c_str()) == 0;
    if (!linked) {
        ::unlink(name.c_str());
        if (held >= 0) ::close(held);
        held = -1;
    }
    return linked;
}

// Whether the WAV at `path` reads as one with no sample frame at all. Every
// chain passes here, so a source or a decoder's output with nothing in it
// never becomes an empty "Done" (whose source could then be deleted).
bool HoldsNoAudio(const std::string& path) {
    ExclusiveFile source(path, ExclusiveFile::kRead);
    WaveFormat format;
    return source.is_open() && ReadWaveFormat(source.fd(), format) != 0 &&
           format.audioBytes < format.header.blockAlign;
}

// Brings the job's source to `to` in its target (or in place). A source
// already in form that the job may link is not copied: the target becomes a
// second name of it.
void PrepareFile(EngineRun& run, const Job& job, PcmForm to) {
    if (HoldsNoAudio(job.sourcePath)) return run.Fail("the source holds no audio");
    const bool inPlace = job.targetPath.empty();
    int held = -1;
    if (job.mayLinkSource && !inPlace && KeptAsItIs(job.sourcePath, to) && LinkAs(job.sourcePath, job.targetPath, held)) {
        run.Hold(held);
        run.Progress(1, 1);
        run.Succeed();
        return;
    }
    // A decoder's output that is already in the wanted form stays as it is.
    if (inPlace && KeptAsItIs(job.sourcePath, to)) {
        run.Progress(1, 1);
        run.Succeed();
        return;
    }
    // In place, the converted file replaces the source only once it is complete.
    const std::string outputPath = inPlace ? NewFileBeside(job.sourcePath, held) : job.targetPath;
    if (outputPath.empty()) return run.Fail(WriteProblem(errno));
    if (inPlace) run.Hold(held);
    const bool converted = ConvertFile(run, job.sourcePath, outputPath, to);
    if (inPlace) {
        if (converted && ::rename(outputPath.c_str(), job.sourcePath.c_str()) != 0) {
            run.Fail(WriteProblem(errno));
            ::unlink(outputPath.c_str());
            return;
        }
        if (!converted) {
            ::unlink(outputPath.c_str());
            return;
        }
    }
    if (converted) run.Succeed();
}

}  // namespace

PcmForm PcmFormOf(const WavPcmSettings& settings) {
    const WavSampleSize size = settings.sampleSizeMode;
    return {static_cast<int>(settings.channelMode),
            size == WavSampleSize::kAsSource ? 0 : size == WavSampleSize::k8Bit ? 8 : size == WavSampleSize::k16Bit ? 16 : -1};
}

std::optional<PcmForm> FormAsked(const EngineSettings& settings) {
    if (const PcmForm* asked = settings.Form()) return *asked;
    if (const WavPcmSettings* pcm = settings.Get<WavPcmSettings>()) {
        // Keeping the source's shape is for a row's forms alone: in the
        // record's block that value is refused.
        const bool asSource =
            pcm->channelMode == WavChannels::kAsSource || pcm->sampleSizeMode == WavSampleSize::kAsSource;
        return asSource ? PcmForm{-1, -1} : PcmFormOf(*pcm);
    }
    return std::nullopt;
}

bool IsKnownForm(PcmForm form) {
    return form.channels >= 0 && form.channels <= 2 && (form.bits == 0 || form.bits == 8 || form.bits == 16);
}

void EncodeWavPcm(const Job& job, JobState& state) {
    EngineRun run(job, state);
    // Without a block of its own (the preparing step of most targets) the
    // engine brings its input to 16-bit stereo; a target's row may ask for
    // another form.
    const PcmForm form = FormAsked(job.settings).value_or(PcmForm{});
    if (!IsKnownForm(form)) return run.Fail("the WAV settings name no known channel count or sample size");
    PrepareFile(run, job, form);
}

const EngineDescriptor kEncWavPcm{"ENCWAVPCM", EncodeWavPcm};

}  // namespace zelph
