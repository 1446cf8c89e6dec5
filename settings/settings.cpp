#include "settings/settings.h"

#include "formats/exclusivefile.h"
#include "settings/replacefile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zelph {

int32_t SettingsCheckValue(const ConverterSettings& settings) {
    const auto* bytes = reinterpret_cast<const int8_t*>(&settings);
    return int32_t{bytes[sizeof(ConverterSettings) - 1]} + 1332;
}

namespace {

std::string HomeFolderOfUser() {
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || !*found->pw_dir)
        return "/";
    std::string home = found->pw_dir;
    if (home.back() != '/') home += '/';
    return home.size() < kOutputFolderSize ? home : "/";
}

}  // namespace

std::string DefaultOutputFolder() {
    // Looked up once: the user database is read anew by every lookup, and
    // the defaults are applied more than once while the settings load.
    static const std::string folder = HomeFolderOfUser();
    return folder;
}

bool SetOutputFolder(GeneralSettings& general, const std::string& folder) {
    if (folder.size() >= kOutputFolderSize || folder.find('\0') != std::string::npos) return false;
    std::memset(general.outputFolder, 0, kOutputFolderSize);
    std::memcpy(general.outputFolder, folder.data(), folder.size());
    return true;
}

std::string OutputFolderOf(const GeneralSettings& general) {
    std::string folder(general.outputFolder, strnlen(general.outputFolder, kOutputFolderSize - 1));
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

void ApplyDefaults(ConverterSettings& s, const std::string& defaultFolder) {
    s.targetFormat = kTargetWav;
    s.general.outputFolderMode = OutputFolderMode::kBesideSource;
    s.general.existingFileAction = ExistingFileAction::kRename;
    s.general.afterOperation = AfterOperation::kKeepSource;
    SetOutputFolder(s.general, defaultFolder);
    s.wav = {WavChannels::kStereo, WavSampleSize::k16Bit};
    s.blade = {.copyrightBit = 1, .crcBit = 1, .originalBit = 1, .privateBit = 1,
               .bitrateIndex = 13, .sampleRateIndex = 1, .bitrate = 320, .sampleRate = 44100,
               .channelMode = BladeChannels::kStereo};
    s.lame = {.bitReservoir = 1, .copyrightBit = 1, .crcBit = 1, .originalBit = 1,
              .privateBit = 1, .xingVbrHeader = 1, .abrBitrateIndex = 11,
              .cbrBitrateIndex = 11, .vbrMaxBitrateIndex = 16, .vbrMinBitrateIndex = 11,
              .vbrMethodIndex = 1, .presetIndex = 1, .resampleRateIndex = 7, .abrBitrate = 128,
              .cbrBitrate = 128, .vbrMaxBitrate = 320, .vbrMinBitrate = 128, .vbrMethod = 0,
              .preset = 0, .resampleRate = 44100, .bitrateMode = Mp3BitrateMode::kCbr,
              .channelMode = Mp3Channels::kStereo, .sampleRateMode = SampleRateMode::kFromSource,
              .mpegVersion = MpegVersion::kMpeg2, .quality = 0};
    s.gogo = {.use3DNow = 0, .useAltivec = 1, .useCMov = 1, .useE3DNow = 1, .useEMMX = 1,
              .useKNI = 1, .lowPassFilter = 1, .useMMX = 0, .psychoAcoustics = 1, .useSSE2 = 1,
              .bitrateIndex = 11, .vbrMaxBitrateIndex = 16, .vbrMinBitrateIndex = 11,
              .emphasisIndex = 1, .resampleRateIndex = 1, .bitrate = 128, .vbrMaxBitrate = 320,
              .vbrMinBitrate = 128, .emphasis = 1, .resampleRate = 44100,
              .bitrateMode = Mp3BitrateMode::kCbr, .channelMode = Mp3Channels::kStereo,
              .sampleRateMode = SampleRateMode::kFromSource, .tagMode = GoGoTagMode::kVbrTag, .quality = 0};
    s.ogg = {.bitrateMode = OggBitrateMode::kVbr, .sampleRateMode = SampleRateMode::kFromSource,
             .channelMode = OggChannels::kStereo, .qualityPosition = 5,
             .vbrQuality = 0.5f, .abrBitrateIndex = 5, .trueVbrBitrateIndex = 5,
             .resampleRateIndex = 5, .abrBitrate = 128, .trueVbrBitrate = 128,
             .resampleRate = 44100};
    s.ape = {.compressionIndex = 1, .compressionLevel = 2000, .pcm = {WavChannels::kStereo, WavSampleSize::k16Bit}};
}

namespace {

// What "can the folder be entered" means here: a directory we may search.
bool CanEnterFolder(const char* folder) {
    struct stat info;
    return *folder && ::stat(folder, &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder, X_OK) == 0;
}

// Why `file` cannot be read as a settings file (an errno), or 0.
int OpenError(const ExclusiveFile& file) {
    if (!file.is_open()) return file.error();
    struct stat info;
    return ::fstat(file.fd(), &info) == 0 && S_ISDIR(info.st_mode) ? EISDIR : 0;
}

// Reads the file over the record, as far as it goes; returns "" when it held
// exactly one record, else what it held instead.
std::string ReadWhole(ExclusiveFile& file, ConverterSettings& record) {
    const std::size_t got = file.Read(&record, sizeof record);
    char more;
    if (got == sizeof record && file.Read(&more, 1) == 0) return "";
    const std::string whole = std::to_string(sizeof record) + " bytes";
    return got < sizeof record ? " is " + std::to_string(got) + " bytes, not " + whole : " is longer than " + whole;
}

}  // namespace

SettingsStore::SettingsStore(std::string settingsPath) : path_(std::move(settingsPath)) {
    ApplyDefaults(record, DefaultOutputFolder());
}

std::string SettingsStore::PathIn(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + kSettingsFileName;
}

std::string SettingsStore::LoadSettings(bool keepFile) {
    if (!keepFile) {
        // Defaults were asked for: a file already gone is no problem.
        ApplyDefaults(record, DefaultOutputFolder());
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
            return "cannot delete " + path_ + ": " + std::strerror(errno);
        return "";
    }

    std::string problem;
    bool accepted = false;
    {
        ExclusiveFile file(path_, ExclusiveFile::kRead);
        if (const int error = OpenError(file); error != 0) {
            problem = error == EWOULDBLOCK ? ": in use by another program" : std::string(": ") + std::strerror(error);
        } else {
            problem = ReadWhole(file, record);
            accepted = zelph::SettingsCheckValue(record) == record.checkValue;
            if (!accepted && problem.empty()) problem = " fails its check value";
        }
    }
    if (!problem.empty()) problem = "settings file '" + path_ + "'" + problem;
    if (!accepted) {
        ApplyDefaults(record, DefaultOutputFolder());
        return problem;
    }
    // A folder stored without its terminating zero ends at the field's last byte.
    record.general.outputFolder[kOutputFolderSize - 1] = '\0';
    if (!CanEnterFolder(record.general.outputFolder)) {
        SetOutputFolder(record.general, DefaultOutputFolder());
        record.general.outputFolderMode = OutputFolderMode::kBesideSource;
    }
    return problem;
}

std::string SettingsStore::SaveSettings() {
    record.checkValue = zelph::SettingsCheckValue(record);
    return ReplaceFileContents(path_, &record, sizeof record);
}

}  // namespace zelph
