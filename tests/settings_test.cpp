#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "settings/flactuning.h"
#include "settings/opustuning.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "settings/settingsfields.h"
#include "settings/tuning.h"
#include "tests/support/scratch.h"

namespace zelph::test {

namespace {

struct Put {
    std::size_t offset;
    int width;
    uint32_t value;
};

// The default image, field by field at its file offset.
std::string ExpectedDefaultImage() {
    const Put puts[] = {
        {0, 4, 1332}, {4, 4, 1}, {8, 2, 1}, {10, 2, 2}, {12, 2, 1},
        {1038, 2, 2}, {1040, 2, 2},
        // blade
        {1044, 4, 1}, {1048, 4, 1}, {1052, 4, 1}, {1056, 4, 1}, {1060, 4, 13}, {1064, 4, 1},
        {1068, 4, 320}, {1072, 4, 44100}, {1076, 4, 2},
        // lame
        {1080, 4, 1}, {1084, 4, 1}, {1088, 4, 1}, {1092, 4, 1}, {1096, 4, 1}, {1100, 4, 1},
        {1104, 4, 11}, {1108, 4, 11}, {1112, 4, 16}, {1116, 4, 11}, {1120, 4, 1}, {1124, 4, 1},
        {1128, 4, 7}, {1132, 4, 128}, {1136, 4, 128}, {1140, 4, 320}, {1144, 4, 128},
        {1148, 4, 0}, {1152, 4, 0}, {1156, 4, 44100}, {1160, 4, 1}, {1164, 4, 2}, {1168, 4, 1},
        {1172, 4, 2}, {1176, 4, 0},
        // gogo
        {1180, 4, 0}, {1184, 4, 1}, {1188, 4, 1}, {1192, 4, 1}, {1196, 4, 1}, {1200, 4, 1},
        {1204, 4, 1}, {1208, 4, 0}, {1212, 4, 1}, {1216, 4, 1}, {1220, 4, 11}, {1224, 4, 16},
        {1228, 4, 11}, {1232, 4, 1}, {1236, 4, 1}, {1240, 4, 128}, {1244, 4, 320},
        {1248, 4, 128}, {1252, 4, 1}, {1256, 4, 44100}, {1260, 4, 1}, {1264, 4, 2},
        {1268, 4, 1}, {1272, 4, 2}, {1276, 4, 0},
        // ogg (0x3F000000 is 0.5f)
        {1280, 4, 1}, {1284, 4, 1}, {1288, 4, 2}, {1292, 4, 5}, {1296, 4, 0x3F000000u},
        {1300, 4, 5}, {1304, 4, 5}, {1308, 4, 5}, {1312, 4, 128}, {1316, 4, 128},
        {1320, 4, 44100},
        // ape
        {1324, 4, 1}, {1328, 4, 2000}, {1332, 2, 2}, {1334, 2, 2},
    };
    std::string image(1336, '\0');
    for (const Put& put : puts)
        for (int i = 0; i < put.width; ++i) image[put.offset + i] = static_cast<char>(put.value >> (8 * i));
    const std::string home = DefaultOutputFolder();
    image.replace(14, home.size(), home);
    return image;
}

class SettingsFile : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string path = SettingsStore::PathIn(dir.path());
};

}  // namespace

TEST_F(SettingsFile, DefaultsAreWrittenAsTheKnownImage) {
    SettingsStore store(path);
    store.LoadSettings(true);  // no file yet: defaults
    ASSERT_EQ(store.SaveSettings(), "");
    std::string written = ReadFile(path);
    ASSERT_EQ(written.size(), 1336u);
    written[1042] = written[1043] = 0;  // padding is free
    const std::string expected = ExpectedDefaultImage();
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(written[i]), static_cast<uint8_t>(expected[i])) << "offset " << i;
    EXPECT_EQ(written.substr(0, 4), std::string("\x34\x05\x00\x00", 4));
}

TEST_F(SettingsFile, EveryFieldSurvivesSaveAndLoad) {
    SettingsStore store(path);
    store.LoadSettings(true);
    // Move every field away from its default to another allowed value.
    for (const SettingsField& field : SettingsFields()) {
        std::string value;
        if (field.type == FieldType::Folder) value = dir.path();
        else if (field.list) value = field.isIndex ? std::to_string(field.list->size() - 1) : "";
        else value = std::to_string(field.max);
        if (value.empty()) continue;  // a pair's value follows its index
        ASSERT_EQ(SetSettingsField(store.record, field.name, value), "") << field.name;
    }
    ASSERT_EQ(store.SaveSettings(), "");

    SettingsStore loaded(path);
    loaded.LoadSettings(true);
    EXPECT_EQ(std::memcmp(&loaded.record, &store.record, 1042), 0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<char*>(&loaded.record) + 1044,
                          reinterpret_cast<char*>(&store.record) + 1044, 1336 - 1044), 0);
    EXPECT_EQ(loaded.record.general.outputFolderMode, OutputFolderMode::kInFolder);
    EXPECT_EQ(OutputFolderOf(loaded.record.general), dir.path());
    EXPECT_EQ(loaded.record.lame.preset, 10000);
    EXPECT_FLOAT_EQ(loaded.record.ogg.vbrQuality, 0.1f);
}

TEST_F(SettingsFile, DamagedOrForeignFilesGiveDefaults) {
    SettingsStore store(path);
    store.LoadSettings(true);
    store.record.lame.cbrBitrate = 256;
    ASSERT_EQ(store.SaveSettings(), "");
    std::string image = ReadFile(path);

    image[0] = 0x35;  // check value no longer matches
    WriteFile(path, image);
    EXPECT_EQ(store.LoadSettings(true), "settings file '" + path + "' fails its check value");
    EXPECT_EQ(store.record.lame.cbrBitrate, 128);

    image[0] = 0x34;
    image[1136] = 64;  // any byte but the check value and the last counts as data
    image[1137] = 0;
    WriteFile(path, image);
    EXPECT_EQ(store.LoadSettings(true), "");
    EXPECT_EQ(store.record.lame.cbrBitrate, 64);
    WriteFile(path, image + "x");
    EXPECT_EQ(store.LoadSettings(true), "settings file '" + path + "' is longer than 1336 bytes");

    // A short file replaces the start of the record; the check still decides.
    WriteFile(path, image.substr(0, 16));
    store.record.lame.cbrBitrate = 999;
    EXPECT_EQ(store.LoadSettings(true), "settings file '" + path + "' is 16 bytes, not 1336 bytes");
    EXPECT_EQ(store.record.lame.cbrBitrate, 999) << "bytes past a short file keep their contents";
    EXPECT_EQ(store.record.general.existingFileAction, ExistingFileAction::kRename);

    image[1335] = 1;  // changes the check value's input
    WriteFile(path, image);
    store.LoadSettings(true);
    EXPECT_EQ(store.record.lame.cbrBitrate, 128);

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    store.record.lame.cbrBitrate = 999;
    EXPECT_EQ(store.LoadSettings(true), "settings file '" + path + "': Is a directory");
    EXPECT_EQ(store.record.lame.cbrBitrate, 128);
}

TEST_F(SettingsFile, FileHeldByAnotherProgramGivesDefaults) {
    SettingsStore store(path);
    store.LoadSettings(true);
    store.record.ogg.qualityPosition = 9;
    ASSERT_EQ(store.SaveSettings(), "");
    const int other = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_EQ(store.LoadSettings(true), "settings file '" + path + "': in use by another program");
    EXPECT_EQ(store.record.ogg.qualityPosition, 5);
    ::close(other);
    store.LoadSettings(true);
    EXPECT_EQ(store.record.ogg.qualityPosition, 9);
}

TEST_F(SettingsFile, OutputFolderThatCannotBeEnteredFallsBackToHome) {
    SettingsStore store(path);
    store.LoadSettings(true);
    const std::string gone = dir / "gone/";
    std::filesystem::create_directory(gone);
    ASSERT_EQ(SetSettingsField(store.record, "general.outputFolder", gone), "");
    store.record.general.outputFolderMode = OutputFolderMode::kInFolder;
    store.record.blade.bitrate = 64;
    ASSERT_EQ(store.SaveSettings(), "");
    std::filesystem::remove(gone);

    store.LoadSettings(true);
    EXPECT_EQ(store.record.general.outputFolderMode, OutputFolderMode::kBesideSource);
    EXPECT_EQ(OutputFolderOf(store.record.general), DefaultOutputFolder());
    EXPECT_EQ(store.record.blade.bitrate, 64);
}

TEST_F(SettingsFile, FolderWithoutTerminatorEndsAtItsLastByte) {
    // A real folder whose path is exactly 1023 bytes long.
    std::string folder = dir.path().substr(0, dir.path().size() - 1);
    while (folder.size() < 1023) {
        const std::size_t part = std::min<std::size_t>(200, 1023 - folder.size() - 1);
        folder += "/" + std::string(part, 'd');
        std::filesystem::create_directory(folder);
    }
    ASSERT_EQ(folder.size(), 1023u);
    SettingsStore store(path);
    store.LoadSettings(true);
    std::memcpy(store.record.general.outputFolder, folder.data(), 1023);
    store.record.general.outputFolder[1023] = 'x';  // no terminator anywhere
    store.record.general.outputFolderMode = OutputFolderMode::kInFolder;
    ASSERT_EQ(store.SaveSettings(), "");

    store.LoadSettings(true);
    EXPECT_EQ(store.record.general.outputFolderMode, OutputFolderMode::kInFolder);
    EXPECT_EQ(OutputFolderOf(store.record.general), folder + "/");
}

TEST_F(SettingsFile, FailedSaveKeepsThePreviousFile) {
    SettingsStore store(path);
    store.LoadSettings(true);
    ASSERT_EQ(store.SaveSettings(), "");
    const std::string before = ReadFile(path);

    store.record.targetFormat = kTargetOgg;
    const std::string reason = zelph::test::WithFileSizeLimit(100, [&] { return store.SaveSettings(); });

    EXPECT_EQ(reason, path + ": File too large");
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file is left behind";
}

TEST(SettingsFields, PairsStayInStepAndBadValuesAreRefused) {
    ConverterSettings s{};
    ApplyDefaults(s, "/");
    EXPECT_EQ(SetSettingsField(s, "lame.cbrBitrate", "192"), "");
    EXPECT_EQ(s.lame.cbrBitrateIndex, 13);
    EXPECT_EQ(SetSettingsField(s, "lame.presetIndex", "6"), "");
    EXPECT_EQ(s.lame.preset, 1000);
    EXPECT_EQ(SetSettingsField(s, "ogg.vbrQuality", "0.3"), "");
    EXPECT_EQ(s.ogg.qualityPosition, 7);
    EXPECT_EQ(SetSettingsField(s, "ape.compressionIndex", "4"), "");
    EXPECT_EQ(s.ape.compressionLevel, 5000);
    EXPECT_EQ(SetSettingsField(s, "ape.channelMode", "1"), "");
    EXPECT_EQ(s.ape.pcm.channelMode, WavChannels::kMono);

    const ConverterSettings before = s;
    EXPECT_NE(SetSettingsField(s, "lame.cbrBitrate", "100"), "");
    EXPECT_NE(SetSettingsField(s, "lame.cbrBitrateIndex", "17"), "");
    EXPECT_NE(SetSettingsField(s, "blade.bitrateIndex", "-1"), "");
    EXPECT_NE(SetSettingsField(s, "wav.channelMode", "3"), "");
    EXPECT_NE(SetSettingsField(s, "general.existingFileAction", "4"), "");
    EXPECT_NE(SetSettingsField(s, "lame.quality", "9x"), "");
    EXPECT_NE(SetSettingsField(s, "general.outputFolder", std::string(1023, 'a')), "");
    EXPECT_NE(SetSettingsField(s, "lame.nonsense", "1").find("lame.nonsense"), std::string::npos);
    EXPECT_EQ(std::memcmp(&before, &s, sizeof s), 0);
}

TEST(Preferences, RoundTripKeepsForeignLinesAndReadsBadValuesAsDefaults) {
    ScratchDir dir;
    const std::string path = Preferences::PathIn(dir.path());
    WriteFile(path, "# written by hand\nwindow.width = 1000\nfuture.key = kept as it is\n"
                    "a line without an equals sign\nwindow.height = -5\n = no key\n");
    Preferences preferences(path);
    preferences.Load();
    EXPECT_EQ(preferences.Get(kWindowWidth), 1000);
    EXPECT_EQ(preferences.Get(kWindowHeight), 0) << "out of range: the default";

    EXPECT_EQ(preferences.Set(kWindowHeight, "700"), "");
    EXPECT_NE(preferences.Set(kWindowWidth, "wide"), "");
    EXPECT_NE(preferences.Set(kWindowWidth, "99999"), "");
    EXPECT_NE(preferences.Set("window.depth", "3"), "") << "unknown keys are not made up";
    // The tuned targets' keys come from their own files, registered at start-up.
    EXPECT_EQ(TargetTuning().Of<OpusSettings>().complexity, 10);
    EXPECT_EQ(preferences.Set("flac.level", "8"), "");
    EXPECT_NE(preferences.Set("flac.level", "9"), "");
    EXPECT_EQ(preferences.Set("opus.mode", "2"), "");
    EXPECT_EQ(preferences.Set(kNamePattern, "%artist%/[%album% = ]%title%"), "") << "a text key takes any one line";
    EXPECT_NE(preferences.Set(kKeepTreeRoot, "a\nb"), "");
    ASSERT_EQ(preferences.Save(), "");

    Preferences again(path);
    again.Load();
    EXPECT_EQ(again.Get(kWindowWidth), 1000);
    EXPECT_EQ(again.Get(kWindowHeight), 700);
    EXPECT_EQ(TuningFrom(again).Of<FlacSettings>().level, 8);
    EXPECT_EQ(TuningFrom(again).Of<OpusSettings>().mode, OpusMode::kCbr);
    EXPECT_EQ(again.GetText(kNamePattern), "%artist%/[%album% = ]%title%");
    const std::string text = ReadFile(path);
    for (const char* kept : {"# written by hand\n", "future.key = kept as it is\n", "a line without an equals sign\n"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_FALSE(std::filesystem::exists(dir / "Settings.dat")) << "the preferences never touch the record";
}

TEST(Preferences, AMissingFileMeansDefaultsAndLinksKeepTheirTargets) {
    ScratchDir dir;
    Preferences missing(dir / "nowhere/zelph.conf");
    missing.Load();
    EXPECT_EQ(missing.Get(kWindowWidth), 0);
    EXPECT_EQ(missing.Save(), dir / "nowhere/zelph.conf: No such file or directory");

    // A linked settings file (kept in a dotfiles folder, say) stays a link.
    std::filesystem::create_directory(dir / "dotfiles");
    WriteFile(dir / "dotfiles/zelph.conf", "window.width = 900\n");
    std::filesystem::create_symlink(dir / "dotfiles/zelph.conf", dir / "zelph.conf");
    Preferences linked(dir / "zelph.conf");
    linked.Load();
    ASSERT_EQ(linked.Set(kWindowHeight, "600"), "");
    ASSERT_EQ(linked.Save(), "");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "zelph.conf"));
    EXPECT_EQ(ReadFile(dir / "dotfiles/zelph.conf"), "window.width = 900\nwindow.height = 600\n");

    std::filesystem::create_symlink(dir / "dotfiles/Settings.dat", dir / "Settings.dat");
    SettingsStore store(SettingsStore::PathIn(dir.path()));
    ASSERT_EQ(store.SaveSettings(), "");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Settings.dat"));
    EXPECT_EQ(ReadFile(dir / "dotfiles/Settings.dat").size(), sizeof(ConverterSettings));
}

}  // namespace zelph::test
