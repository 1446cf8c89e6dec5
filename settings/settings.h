#pragma once
// ConverterSettings: the one persistent record of every user choice. Its bytes
// are the bytes of Settings.dat, so the layout below is fixed for good.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zelph {

static_assert(std::endian::native == std::endian::little,
              "Settings.dat is the record's memory image, stored little-endian");

inline constexpr std::size_t kOutputFolderSize = 1024;

// Every mode field's values, by name. The record stores them as the plain
// numbers below; a loaded file may hold any other number, which the windows
// show as no choice and the engines refuse.
enum class OutputFolderMode : int16_t { kBesideSource = 1, kInFolder = 2 };
enum class ExistingFileAction : int16_t { kOverwrite = 1, kRename = 2, kSkip = 3 };
enum class AfterOperation : int16_t { kKeepSource = 1, kDeleteSource = 2 };
// kAsSource is for input forms kept in zelph.conf alone: the WAV stage
// refuses it in the record's blocks.
enum class WavChannels : int16_t { kAsSource = 0, kMono = 1, kStereo = 2 };
enum class WavSampleSize : int16_t { kAsSource = 0, k8Bit = 1, k16Bit = 2 };
enum class BladeChannels : int32_t { kMono = 1, kStereo = 2, kDualChannel = 3 };
enum class Mp3BitrateMode : int32_t { kCbr = 1, kAbr = 2, kVbr = 3 };
enum class Mp3Channels : int32_t { kMono = 1, kStereo = 2, kJointStereo = 3 };
enum class SampleRateMode : int32_t { kFromSource = 1, kResample = 2 };
enum class MpegVersion : int32_t { kMpeg1 = 1, kMpeg2 = 2 };
enum class GoGoTagMode : int32_t { kLameTag = 1, kVbrTag = 2 };
enum class OggBitrateMode : int32_t { kVbr = 1, kAbr = 2, kTrueVbr = 3 };
enum class OggChannels : int32_t { kMono = 1, kStereo = 2 };

struct GeneralSettings {
    OutputFolderMode outputFolderMode;
    ExistingFileAction existingFileAction;
    AfterOperation afterOperation;
    char outputFolder[kOutputFolderSize];
};

// Also the layout of the channel/sample-size pair inside ApeSettings.
struct WavPcmSettings {
    WavChannels channelMode;
    WavSampleSize sampleSizeMode;
};

struct BladeSettings {
    int32_t copyrightBit, crcBit, originalBit, privateBit;
    int32_t bitrateIndex, sampleRateIndex;
    int32_t bitrate, sampleRate;
    BladeChannels channelMode;
};

struct LameSettings {
    int32_t bitReservoir, copyrightBit, crcBit, originalBit, privateBit, xingVbrHeader;
    int32_t abrBitrateIndex, cbrBitrateIndex, vbrMaxBitrateIndex, vbrMinBitrateIndex;
    int32_t vbrMethodIndex, presetIndex, resampleRateIndex;
    int32_t abrBitrate, cbrBitrate, vbrMaxBitrate, vbrMinBitrate;
    int32_t vbrMethod, preset, resampleRate;
    Mp3BitrateMode bitrateMode;
    Mp3Channels channelMode;
    SampleRateMode sampleRateMode;
    MpegVersion mpegVersion;
    int32_t quality;         // 0..9
};

struct GoGoSettings {
    int32_t use3DNow, useAltivec, useCMov, useE3DNow, useEMMX, useKNI;
    int32_t lowPassFilter, useMMX, psychoAcoustics, useSSE2;
    int32_t bitrateIndex, vbrMaxBitrateIndex, vbrMinBitrateIndex, emphasisIndex, resampleRateIndex;
    int32_t bitrate, vbrMaxBitrate, vbrMinBitrate, emphasis, resampleRate;
    Mp3BitrateMode bitrateMode;
    Mp3Channels channelMode;
    SampleRateMode sampleRateMode;
    GoGoTagMode tagMode;
    int32_t quality;         // 0..9
};

struct OggVorbisSettings {
    OggBitrateMode bitrateMode;
    SampleRateMode sampleRateMode;
    OggChannels channelMode;
    int32_t qualityPosition; // 0..9
    float vbrQuality;        // (10 - qualityPosition) / 10
    int32_t abrBitrateIndex, trueVbrBitrateIndex, resampleRateIndex;
    int32_t abrBitrate, trueVbrBitrate, resampleRate;
};

struct ApeSettings {
    int32_t compressionIndex;
    int32_t compressionLevel;  // 1000 .. 5000
    WavPcmSettings pcm;        // what the encoder's input is brought to
};

struct ConverterSettings {
    int32_t checkValue;
    int32_t targetFormat;  // a TargetFormat value
    GeneralSettings general;
    WavPcmSettings wav;
    int16_t wavPadding;
    BladeSettings blade;
    LameSettings lame;
    GoGoSettings gogo;
    OggVorbisSettings ogg;
    ApeSettings ape;
};

static_assert(sizeof(GeneralSettings) == 1030);
static_assert(sizeof(BladeSettings) == 36);
static_assert(sizeof(LameSettings) == 100);
static_assert(sizeof(GoGoSettings) == 100);
static_assert(sizeof(OggVorbisSettings) == 44);
static_assert(sizeof(ApeSettings) == 12);
static_assert(sizeof(ConverterSettings) == 1336);
static_assert(offsetof(ConverterSettings, targetFormat) == 4);
static_assert(offsetof(ConverterSettings, general) == 8);
static_assert(offsetof(ConverterSettings, general.outputFolder) == 14);
static_assert(offsetof(ConverterSettings, wav) == 1038);
static_assert(offsetof(ConverterSettings, blade) == 1044);
static_assert(offsetof(ConverterSettings, blade.channelMode) == 1076);
static_assert(offsetof(ConverterSettings, lame) == 1080);
static_assert(offsetof(ConverterSettings, lame.abrBitrate) == 1132);
static_assert(offsetof(ConverterSettings, lame.quality) == 1176);
static_assert(offsetof(ConverterSettings, gogo) == 1180);
static_assert(offsetof(ConverterSettings, gogo.bitrate) == 1240);
static_assert(offsetof(ConverterSettings, gogo.quality) == 1276);
static_assert(offsetof(ConverterSettings, ogg) == 1280);
static_assert(offsetof(ConverterSettings, ogg.vbrQuality) == 1296);
static_assert(offsetof(ConverterSettings, ogg.resampleRate) == 1320);
static_assert(offsetof(ConverterSettings, ape) == 1324);
static_assert(offsetof(ConverterSettings, ape.pcm) == 1332);

// targetFormat values: the main window's target radios. The first six are
// the record's own; a later target names its number beside its tuning, and
// the planner refuses a number no target row has.
enum TargetFormat : int32_t {
    kTargetWav = 1,
    kTargetGoGo = 2,
    kTargetLame = 3,
    kTargetBlade = 4,
    kTargetOgg = 5,
    kTargetApe = 6,
};

inline constexpr const char* kSettingsFileName = "Settings.dat";

// The check value: the record's last byte as a signed number plus 1332.
int32_t SettingsCheckValue(const ConverterSettings& settings);

// Every field at its default; outputFolder is `defaultFolder`.
void ApplyDefaults(ConverterSettings& settings, const std::string& defaultFolder);

// The folder that stands in for an unusable output folder: the user's home
// folder from the password database with a trailing "/", or "/".
std::string DefaultOutputFolder();

// The record and the file it is kept in. Loads and saves never move the
// process's working folder.
class SettingsStore {
public:
    explicit SettingsStore(std::string settingsPath);
    // Settings.dat in `folder`, the one SettingsFolder() names.
    static std::string PathIn(std::string folder);

    // Fills the record from the file, or with defaults when it is missing,
    // unreadable or fails its check value. Returns "" when the whole file was
    // read and passed its check, else what was wrong with it (a short file
    // that passes its check is still taken). keepFile=false deletes the file
    // and takes the defaults; it returns why the file could not be deleted,
    // or "".
    std::string LoadSettings(bool keepFile);
    // Writes the record through a temporary file in the same folder and a
    // rename; returns "" or why nothing was written ("PATH: reason").
    std::string SaveSettings();
    int32_t SettingsCheckValue() const { return zelph::SettingsCheckValue(record); }

    ConverterSettings record{};

private:
    std::string path_;
};

// The output folder as the planner uses it: at most 1023 bytes and always
// ending with "/".
std::string OutputFolderOf(const GeneralSettings& general);

// Stores `folder` (at most 1023 bytes) with the rest of the field zeroed.
bool SetOutputFolder(GeneralSettings& general, const std::string& folder);

}  // namespace zelph
