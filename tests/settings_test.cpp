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

// Fields of one width, one after the other from `offset`.
struct Run {
    std::size_t offset;
    int width;
    std::vector<uint32_t> values;
};

// The default image, run by run of fields at their file offsets.
std::string ExpectedDefaultImage() {
    const Run runs[] = {
        {0, 4, {1332, 1}}, {8, 2, {1, 2, 1}}, {1038, 2, {2, 2}},
        // blade
        {1044, 4, {1, 1, 1, 1, 13, 1, 320, 44100, 2}},
        // lame
        {1080, 4, {1, 1, 1, 1, 1, 1, 11, 11, 16, 11, 1, 1, 7, 128, 128, 320, 128}},
        {1148, 4, {0, 0, 44100, 1, 2, 1, 2, 0}},
        // gogo
        {1180, 4, {0, 1, 1, 1, 1, 1, 1, 0, 1, 1, 11, 16, 11, 1, 1, 128, 320, 128}},
        {1252, 4, {1, 44100, 1, 2, 1, 2, 0}},
        // ogg (0x3F000000 is 0.5f)
        {1280, 4, {1, 1, 2, 5, 0x3F000000u, 5, 5, 5, 128, 128, 44100}},
        // ape
        {1324, 4, {1, 2000}}, {1332, 2, {2, 2}},
    };
    std::string image(1336, '\0');
    for (const Run& run : runs)
        for (std::size_t field = 0; field < run.values.size(); ++field)
            for (int i = 0; i < run.width; ++i)
                image[run.offset + field * run.width + i] = static_cast<char>(run.values[field] >> (8 * i));
    const std::string home = DefaultOutputFolder();
    image.replace(14, home.size(), home);
    return image;
}

// A store on a folder of its own, holding the defaults (no file yet).
class SettingsFile : public ::testing::Test {
protected:
    SettingsFile() { store.LoadSettings(true); }

    ScratchDir dir;
    std::string path = SettingsStore::PathIn(dir.path());
    SettingsStore store{path};
};

}  // namespace

TEST_F(SettingsFile, DefaultsAreWrittenAsTheKnownImage) {
    ASSERT_EQ(store.SaveSettings(), "");
    std::string written = ReadFile(path);
    ASSERT_EQ(written.size(), 1336u);
    written[1042] = written[1043] = 0;  // padding is free
    const std::string expected = ExpectedDefaultImage();
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(written[i]), static_cast<uint8_t>(expected[i])) << "offset " << i;
}

TEST_F(SettingsFile, EveryFieldSurvivesSaveAndLoad) {
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
    EXPECT_EQ(loaded.record.lame.preset, 10000);
    EXPECT_FLOAT_EQ(loaded.record.ogg.vbrQuality, 0.1f);
}

TEST_F(SettingsFile, DamagedForeignOrHeldFilesGiveDefaults) {
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
    // Held by another program: the defaults, until it lets go.
    const int other = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_EQ(store.LoadSettings(true), "settings file '" + path + "': in use by another program");
    EXPECT_EQ(store.record.lame.cbrBitrate, 128);
    ::close(other);
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

TEST_F(SettingsFile, AFolderWithoutTerminatorEndsAtItsLastByteAndOneThatIsGoneFallsBackToHome) {
    // A real folder whose path is exactly 1023 bytes long.
    std::string folder = dir.path().substr(0, dir.path().size() - 1);
    while (folder.size() < 1023) {
        const std::size_t part = std::min<std::size_t>(200, 1023 - folder.size() - 1);
        folder += "/" + std::string(part, 'd');
        std::filesystem::create_directory(folder);
    }
    ASSERT_EQ(folder.size(), 1023u);
    std::memcpy(store.record.general.outputFolder, folder.data(), 1023);
    store.record.general.outputFolder[1023] = 'x';  // no terminator anywhere
    store.record.general.outputFolderMode = OutputFolderMode::kInFolder;
    store.record.blade.bitrate = 64;
    ASSERT_EQ(store.SaveSettings(), "");

    store.LoadSettings(true);
    EXPECT_EQ(store.record.general.outputFolderMode, OutputFolderMode::kInFolder);
    EXPECT_EQ(OutputFolderOf(store.record.general), folder + "/");

    // Once the folder cannot be entered: home, beside the sources; the rest stays.
    std::filesystem::remove(folder);
    store.LoadSettings(true);
    EXPECT_EQ(store.record.general.outputFolderMode, OutputFolderMode::kBesideSource);
    EXPECT_EQ(OutputFolderOf(store.record.general), DefaultOutputFolder());
    EXPECT_EQ(store.record.blade.bitrate, 64);
}

TEST_F(SettingsFile, FailedSaveKeepsThePreviousFile) {
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
    const std::pair<const char*, std::string> refused[] = {
        {"lame.cbrBitrate", "100"}, {"lame.cbrBitrateIndex", "17"}, {"blade.bitrateIndex", "-1"},
        {"wav.channelMode", "3"}, {"general.existingFileAction", "4"}, {"lame.quality", "9x"},
        {"general.outputFolder", std::string(1023, 'a')}};
    for (const auto& [field, value] : refused) EXPECT_NE(SetSettingsField(s, field, value), "") << field;
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

    // Unknown keys are not made up, a text key takes any one line, and the
    // tuned targets' keys come from their own files, registered at start-up.
    EXPECT_EQ(TargetTuning().Of<OpusSettings>().complexity, 10);
    const std::tuple<std::string_view, const char*, bool> sets[] = {
        {kWindowHeight, "700", true}, {kWindowWidth, "wide", false}, {kWindowWidth, "99999", false},
        {"window.depth", "3", false}, {"flac.level", "8", true},     {"flac.level", "9", false},
        {"opus.mode", "2", true},     {kKeepTreeRoot, "a\nb", false},
        {kNamePattern, "%artist%/[%album% = ]%title%", true}};
    for (const auto& [key, value, accepted] : sets)
        EXPECT_EQ(preferences.Set(key, value).empty(), accepted) << key << " = " << value;
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
}

TEST(Preferences, AMissingFileMeansDefaultsAndLinksKeepTheirTargets) {
    ScratchDir dir;
    Preferences missing(dir / "nowhere/zelph.conf");
    missing.Load();
    EXPECT_EQ(missing.Get(kWindowWidth), 0);
    EXPECT_EQ(missing.Save(), dir / "nowhere/zelph.conf: No such file or directory");

    // A linked settings file (kept in a dotfiles folder, say) stays a link,
    // also before the file it leads to exists. Settings.dat is replaced the
    // same way, by the same function.
    std::filesystem::create_directory(dir / "dotfiles");
    std::filesystem::create_symlink(dir / "dotfiles/zelph.conf", dir / "zelph.conf");
    Preferences linked(dir / "zelph.conf");
    linked.Load();
    ASSERT_EQ(linked.Set(kWindowHeight, "600"), "");
    ASSERT_EQ(linked.Save(), "");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "zelph.conf"));
    EXPECT_EQ(ReadFile(dir / "dotfiles/zelph.conf"), "window.height = 600\n");
}

}  // namespace zelph::test
