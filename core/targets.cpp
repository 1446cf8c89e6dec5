#include "core/targets.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "codecs/aiffencoder.h"
#include "codecs/apeengines.h"
#include "codecs/copyengine.h"
#include "codecs/ffmpegdecoder.h"
#include "codecs/flacdecoder.h"
#include "codecs/flacencoder.h"
#include "codecs/m4aencoder.h"
#include "codecs/mp3bladeencoder.h"
#include "codecs/mp3decoder.h"
#include "codecs/mp3gogoencoder.h"
#include "codecs/mp3lameencoder.h"
#include "codecs/oggdecoder.h"
#include "codecs/oggencoder.h"
#include "codecs/opusdecoder.h"
#include "codecs/opusencoder.h"
#include "codecs/wavpackencoder.h"
#include "codecs/wavpcmengine.h"
#include "core/applygain.h"
#include "core/cuesheet.h"
#include "core/cuttrack.h"
#include "core/naming.h"
#include "formats/aiffform.h"
#include "formats/encoderinfo.h"
#include "formats/flacprobe.h"
#include "formats/m4aform.h"
#include "formats/waveheader.h"
#include "metadata/aifftags.h"
#include "metadata/apetags.h"
#include "metadata/flactags.h"
#include "metadata/mp4tags.h"
#include "metadata/mpegtags.h"
#include "metadata/oggvorbistags.h"
#include "metadata/opustags.h"
#include "metadata/othertags.h"
#include "metadata/wavetags.h"
#include "settings/aactuning.h"
#include "settings/aifftuning.h"
#include "settings/alactuning.h"
#include "metadata/wavpacktags.h"
#include "formats/wavpackblocks.h"
#include "settings/wavpacktuning.h"

namespace zelph {

namespace {

template <typename Block, Block ConverterSettings::*block>
EngineSettings BlockOf(const ConverterSettings& s, const TargetTuning&) {
    return &(s.*block);
}

EngineSettings SixteenBitStereo(const ConverterSettings&, const TargetTuning&) { return {}; }
EngineSettings WavBlock(const ConverterSettings& s, const TargetTuning&) { return &s.wav; }
EngineSettings ApeInput(const ConverterSettings& s, const TargetTuning&) { return &s.ape.pcm; }
template <typename Block>
EngineSettings TuningOf(const ConverterSettings&, const TargetTuning& t) {
    return &t.Of<Block>();
}

// Lossless: FLAC's input form, kept in zelph.conf, may keep the source's
// channels, sample size and rate.
EngineSettings FlacInput(const ConverterSettings&, const TargetTuning& t) { return PcmFormOf(t.Of<FlacSettings>().input); }
// The source's channels; 16 bits when chosen (through the WAV stage's dither),
// else the source's sample size, which the encoder brings to 16 or 24 bits.
EngineSettings AiffInput(const ConverterSettings&, const TargetTuning& t) {
    return PcmForm{0, t.Of<AiffSettings>().sampleSize == SampleSizeChoice::k16Bit ? 16 : 0};
}
// The source's samples (integer or float), mono kept, more channels folded
// to stereo.
EngineSettings AacInput(const ConverterSettings&, const TargetTuning&) { return PcmForm{0, 0, 2}; }
// The source's channels; 16 bits when chosen (through the WAV stage's dither),
// else the source's sample size, which the encoder brings to 16 or 24 bits.
EngineSettings AlacInput(const ConverterSettings&, const TargetTuning& t) {
    return PcmForm{0, t.Of<AlacSettings>().sampleSize == SampleSizeChoice::k16Bit ? 16 : 0};
}
// Lossless: the source's channels and sample size as they are.
EngineSettings WavPackInput(const ConverterSettings&, const TargetTuning&) { return PcmForm{0, 0}; }
// Hybrid is lossy in the .wv alone; its correction file restores the rest.
TunedOutput WavPackOutput(const TargetTuning& t) {
    const WavPackSettings& wavpack = t.Of<WavPackSettings>();
    return {.lossy = wavpack.mode == WavPackMode::kHybrid,
            .companionExtension = kWavPackCorrectionExtension,
            .writesCompanion = wavpack.writesCorrection()};
}
// 16 bits, mono kept, more channels folded to stereo.
EngineSettings OpusInput(const ConverterSettings&, const TargetTuning&) { return PcmForm{0, 16, 2}; }

constexpr Fidelity kBitExact{.bitExact = true};
// The stream states its exact length.
constexpr Fidelity kSameLength{};
// As many samples as the last page's granule states, and at most a block more.
constexpr Fidelity kToGranule{.toStatedLength = true, .overrun = kLongestVorbisBlock};
// Exact when the encoder's info frame states its delay and padding.
constexpr Fidelity kWholeFrames{.overrun = kUncutDecodeOverrun, .statesPadding = StatesEncoderPadding};
// The edit list states the exact length; a decode that does not cut the last
// frame to it gives the rest of that frame.
constexpr Fidelity kWholeAacFrames{.overrun = kAacFrameSamples};

// GoGo's library opens its input by path and parses the header itself, and
// Monkey's Audio keeps the source's WAV header in its output: both are given
// the WAV stage's copy.
constexpr TargetRow kTargets[] = {
    {kTargetWav, "wav", "Wav", ".wav", &kEncWavPcm,
     BlockOf<WavPcmSettings, &ConverterSettings::wav>, WavBlock, false, &kWaveTags, RiffAudioExtent, kBitExact},
    {kTargetGoGo, "gogo", "Mp3 (GoGo)", ".mp3", &kEncMp3GoGo,
     BlockOf<GoGoSettings, &ConverterSettings::gogo>, SixteenBitStereo, false, &kMpegTags, AudioBetweenTags, kWholeFrames},
    {kTargetLame, "lame", "Mp3 (Lame)", ".mp3", &kEncMp3Lame,
     BlockOf<LameSettings, &ConverterSettings::lame>, SixteenBitStereo, true, &kMpegTags, AudioBetweenTags, kWholeFrames},
    {kTargetBlade, "blade", "Mp3 (Blade)", ".mp3", &kEncMp3Blade,
     BlockOf<BladeSettings, &ConverterSettings::blade>, SixteenBitStereo, true, &kMpegTags, AudioBetweenTags, kWholeFrames},
    {kTargetOgg, "ogg", "Ogg", ".ogg", &kEncOggVorbis,
     BlockOf<OggVorbisSettings, &ConverterSettings::ogg>, SixteenBitStereo, true, &kOggVorbisTags, OggAudioExtent, kToGranule},
    {kTargetApe, "ape", "Ape", ".ape", &kEncApeMonkey,
     BlockOf<ApeSettings, &ConverterSettings::ape>, ApeInput, false, &kApeTags, AudioBetweenTags, kBitExact},
    {kTargetFlac, "flac", "Flac", ".flac", &kEncFlac, TuningOf<FlacSettings>, FlacInput, true,
     &kFlacTags, FlacAudioExtent, kBitExact},
    {kTargetOpus, "opus", "Opus", ".opus", &kEncOpus, TuningOf<OpusSettings>, OpusInput, true,
     &kOggOpusTags, OggAudioExtent, kSameLength},
    {kTargetAiff, "aiff", "Aiff", ".aiff", &kEncAiff, TuningOf<AiffSettings>, AiffInput, true, &kAiffTags,
     AiffAudioExtent, kBitExact},
    {kTargetAac, "aac", "Aac", ".m4a", &kEncAac, TuningOf<AacSettings>, AacInput, true, &kMp4Tags, M4aAudioExtent,
     kWholeAacFrames},
    {kTargetAlac, "alac", "Alac", ".m4a", &kEncAlac, TuningOf<AlacSettings>, AlacInput, true, &kMp4Tags,
     M4aAudioExtent, kBitExact},
    {kTargetWavPack, "wavpack", "WavPack", ".wv", &kEncWavPack, TuningOf<WavPackSettings>, WavPackInput, true,
     &kWavPackTags, WavPackAudioExtent, kBitExact, WavPackOutput},
};

const SourceRow kSources[] = {
    {".wav", DescribeWaveFile, nullptr, true, &kWaveTags, true, "PCM Wave Files"},
    {".mp2", DescribeMpegFile, nullptr, false, &kMpegTags, false, "Mp2 Files"},
    {".mp3", DescribeMpegFile, &kDecMp3, true, &kMpegTags, false, "Mp3 Files"},
    {".ogg", DescribeOggFile, &kDecOggVorbis, true, &kOggVorbisTags, false, "OggVorbis Files"},
    {".ape", DescribeApeFile, &kDecApeMonkey, true, &kApeTags, true, "MonkeysAudio Files"},
    {".vqf", DescribeTwinVqFile, nullptr, false, nullptr, false, "TwinVQ Files"},
    {".flac", DescribeFlacFile, &kDecFlac, true, &kFlacTags, true, "FLAC Files"},
    // FLAC in Ogg; Vorbis and Opus in Ogg go by .ogg and .opus.
    {".oga", DescribeFlacFile, &kDecFlac, true, &kOggFlacTags, true, "FLAC Files"},
    {".opus", DescribeOpusFile, &kDecOpus, true, &kOggOpusTags, false, "Opus Files"},
    // Other people's formats, through FFmpeg's demuxers and decoders. Most
    // of them are lossy; the lossy rule (which may copy) keeps a lossless
    // one as it is rather than re-encode a lossy one.
    {".m4a .m4b .mp4 .aac .wma .aif .aiff .aifc .wv .tta .mpc .dsf .dff .caf .w64 .ac3 .mka", DescribeFfmpegFile,
     &kDecFfmpeg, true, &kOtherTags, false, "Other Audio Files"},
    // A CD image's sheet: listed as the image's tracks (core/cuesheet.h).
    {".cue", DescribeCueSheet, nullptr, false, nullptr, false, "CUE Sheets"},
};

template <typename Row, typename Match>
const Row* FindRow(std::span<const Row> rows, Match match) {
    const auto found = std::find_if(rows.begin(), rows.end(), match);
    return found == rows.end() ? nullptr : &*found;
}

}  // namespace

std::span<const TargetRow> Targets() { return kTargets; }

const TargetRow* FindTarget(int32_t targetFormat) {
    return FindRow(Targets(), [&](const TargetRow& row) { return row.format == targetFormat; });
}

const TargetRow* FindTargetByCliName(std::string_view name) {
    return FindRow(Targets(), [&](const TargetRow& row) { return row.cliName == name; });
}

const TargetRow* FindTargetByOutput(const std::string& path) {
    const std::string extension = SourceExtensionOf(path);
    return FindRow(Targets(), [&](const TargetRow& row) { return row.extension == extension; });
}

std::span<const SourceRow> Sources() { return kSources; }

std::vector<std::string_view> ExtensionsOf(const SourceRow& row) {
    std::vector<std::string_view> extensions;
    std::string_view rest = row.extensions;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(' '), rest.size());
        if (end > 0) extensions.push_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return extensions;
}

EngineTable StandardEngines() {
    EngineTable engines{{&kEncWavPcm, kEncWavPcm.run}, {&kCopyFile, kCopyFile.run}, {&kApplyGain, kApplyGain.run},
                         {&kCutTrack, kCutTrack.run}};
    for (const TargetRow& row : Targets()) engines.emplace(row.encoder, row.encoder->run);
    for (const SourceRow& row : Sources())
        if (row.decoder) engines.emplace(row.decoder, row.decoder->run);
    return engines;
}

std::string MusicFileFilter() {
    // Each entry: "Name (*.a,*.b)|*.a;*.b|".
    const auto entry = [](const std::string& name, const std::vector<std::string_view>& extensions) {
        std::string listed, patterns;
        for (const std::string_view extension : extensions) {
            listed += std::string(listed.empty() ? "" : ",") + "*" + std::string(extension);
            patterns += std::string(patterns.empty() ? "" : ";") + "*" + std::string(extension);
        }
        return name + " (" + listed + ")|" + patterns + "|";
    };
    std::vector<std::string_view> every;
    std::vector<std::pair<std::string, std::vector<std::string_view>>> named;
    for (const SourceRow& row : Sources()) {
        auto same = std::find_if(named.begin(), named.end(), [&](const auto& n) { return n.first == row.filterName; });
        if (same == named.end()) same = named.insert(named.end(), {row.filterName, {}});
        for (const std::string_view extension : ExtensionsOf(row)) {
            every.push_back(extension);
            same->second.push_back(extension);
        }
    }
    std::string filter = entry("Music Files", every);
    for (const auto& [name, extensions] : named) filter += entry(name, extensions);
    return filter + "All Files (*.*)|*.*||";
}

std::string SourceExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return "";
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

const SourceRow* FindSource(const std::string& path) {
    const std::string extension = SourceExtensionOf(path);
    return FindRow(Sources(), [&](const SourceRow& row) {
        const std::vector<std::string_view> listed = ExtensionsOf(row);
        return std::find(listed.begin(), listed.end(), extension) != listed.end();
    });
}

AudioDescription DescribeAudioFile(const std::string& path) {
    if (const std::optional<TrackEntryParts> parts = ParseTrackEntry(path)) {
        const ListedTrack listed = ReadListedTrack(*parts);
        return {listed.error.empty(), DescribeTrack(listed)};
    }
    const SourceRow* source = FindSource(path);
    if (!source) return {false, "Unknown Audio File Format"};
    return {true, source->describe(path)};
}

}  // namespace zelph
