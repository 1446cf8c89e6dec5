#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QDir>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <cstring>
#include <filesystem>
#include <functional>
#include <span>
#include <typeindex>

#include "settings/aactuning.h"
#include "settings/aifftuning.h"
#include "settings/alactuning.h"
#include "settings/appliedgain.h"
#include "settings/enginemp3lame.h"
#include "settings/enginetuning.h"
#include "settings/flactuning.h"
#include "settings/generalsettingsdlg.h"
#include "settings/opustuning.h"
#include "settings/wavpacktuning.h"
#include "settings/preferences.h"
#include "settings/tuning.h"
#include "settings/settingsfields.h"
#include "tests/support/qtsupport.h"
#include "tests/support/scratch.h"
#include "ui/folderbrowser.h"

using namespace zelph;
using test::Find;
using test::Press;

namespace {

ConverterSettings Defaults() {
    ConverterSettings s{};
    ApplyDefaults(s, "/music/");
    return s;
}

// Runs `actions` inside the modal loop of whichever window opens next; they
// end by pressing a button. A window they leave open is cancelled.
void WhenOpen(std::function<void(QWidget*)> actions) {
    test::WhenModalShows<QDialog>([actions](QDialog* window) {
        actions(window);
        if (window->isVisible()) window->reject();
    });
}

int Open(QDialog& window, std::function<void(QWidget*)> actions) {
    WhenOpen(std::move(actions));
    return window.exec();
}

QComboBox* List(QWidget* window, const char* name) {
    auto* list = window->findChild<QComboBox*>(name);
    EXPECT_NE(list, nullptr) << name;
    return list;
}

bool Checked(QWidget* window, const QString& text) { return Find(window, text)->isChecked(); }

// What a user's pick from the drop-down does.
void Pick(QComboBox* list, const QString& entry) {
    const int position = list->findText(entry);
    ASSERT_GE(position, 0) << entry.toStdString();
    list->setCurrentIndex(position);
    emit list->activated(position);
}

// Stands in for the system's folder dialog: answers `answer` and notes where
// it was asked to start.
class FakeFolderDialog {
public:
    explicit FakeFolderDialog(std::string answer) {
        previous_ = SetFolderDialog([this, answer](QWidget*, const QString& start) {
            startedAt = start.toStdString();
            return QString::fromStdString(answer);
        });
    }
    ~FakeFolderDialog() { SetFolderDialog(previous_); }
    std::string startedAt;

private:
    FolderDialog previous_;
};

QLineEdit* FolderField(QWidget* window) { return window->findChild<QLineEdit*>("outputFolder"); }

bool SameBytes(const void* a, const void* b, std::size_t size) { return std::memcmp(a, b, size) == 0; }

struct Engine {
    int32_t target;
    const char* title;
    std::size_t begin, end;  // the block's bytes in the record, if it has one
    const std::type_info* tuned = nullptr;  // the block kept in zelph.conf, if it has one
};
// Every settings window: General Settings and each target's.
const Engine kEngines[] = {
    {0, "General Settings", offsetof(ConverterSettings, general), offsetof(ConverterSettings, wav)},
    {kTargetWav, "Wave Engine", offsetof(ConverterSettings, wav), offsetof(ConverterSettings, wavPadding)},
    {kTargetBlade, "Mp3 Blade Engine", offsetof(ConverterSettings, blade), offsetof(ConverterSettings, lame)},
    {kTargetLame, "Mp3 Lame Engine", offsetof(ConverterSettings, lame), offsetof(ConverterSettings, gogo)},
    {kTargetGoGo, "Mp3 GoGo Engine", offsetof(ConverterSettings, gogo), offsetof(ConverterSettings, ogg)},
    {kTargetOgg, "Ogg Engine ", offsetof(ConverterSettings, ogg), offsetof(ConverterSettings, ape)},
    {kTargetApe, "Ape Engine", offsetof(ConverterSettings, ape), sizeof(ConverterSettings)},
    {kTargetFlac, "Flac Engine", 0, 0, &typeid(FlacSettings)},
    {kTargetOpus, "Opus Engine", 0, 0, &typeid(OpusSettings)},
    {kTargetAac, "Aac Engine", 0, 0, &typeid(AacSettings)},
    {kTargetWavPack, "WavPack Engine", 0, 0, &typeid(WavPackSettings)},
    {kTargetAiff, "Aiff Engine", 0, 0, &typeid(AiffSettings)},
    {kTargetAlac, "Alac Engine", 0, 0, &typeid(AlacSettings)},
};

// Opens the row's window on `s` as the main window does; true when saved.
bool OpenWindow(const Engine& engine, ConverterSettings& s, Preferences& preferences) {
    if (engine.target != 0) return OpenEngineTuning(engine.target, s, preferences, nullptr);
    CGeneralSettingsDlg general(&s.general, &preferences);
    return general.exec() == QDialog::Accepted;
}

// Changes every control of a window but its radios: every check box, the
// next entry of each list, the next track-bar position and the next number.
void ChangeChoices(QWidget* window) {
    // Also the boxes a mode disables: their choices are kept all the same.
    for (QCheckBox* box : window->findChildren<QCheckBox*>()) box->toggle();
    for (QComboBox* list : window->findChildren<QComboBox*>())
        Pick(list, list->itemText((list->currentIndex() + 1) % list->count()));
    for (QSlider* bar : window->findChildren<QSlider*>()) bar->setValue((bar->value() + 1) % 10);
    for (QAbstractSpinBox* number : window->findChildren<QAbstractSpinBox*>()) number->stepBy(1);
}

// The same, and another radio in each group.
void ChangeEverything(QWidget* window) {
    for (QButtonGroup* group : window->findChildren<QButtonGroup*>()) {
        for (QAbstractButton* radio : group->buttons())
            if (!radio->isChecked()) {
                radio->click();
                break;
            }
    }
    ChangeChoices(window);
}

// A record whose every field differs from its defaults where it can, set the
// way the command line sets it.
ConverterSettings VariedSettings() {
    ConverterSettings s = Defaults();
    int k = 0;
    for (const SettingsField& field : SettingsFields()) {
        ++k;
        if (field.type == FieldType::Folder || (field.list && !field.isIndex)) continue;
        const int value = field.list ? (3 * k) % field.list->size() : field.min + k % (field.max - field.min + 1);
        EXPECT_EQ(SetSettingsField(s, field.name, std::to_string(value)), "");
    }
    return s;
}

// The keys of a window's block kept in zelph.conf; none for the others.
std::span<const PreferenceKey> KeysOf(const Engine& engine) {
    if (!engine.tuned) return {};
    for (const TuningKind& kind : TuningKinds())
        if (kind.block == *engine.tuned) return kind.keys;
    ADD_FAILURE() << "no tuning registered for " << engine.tuned->name();
    return {};
}

// A window whose radios enable the controls of their mode: after each radio
// is pressed, the controls (by object name or caption; "track bar" is the
// window's slider) that are open and those that are not.
struct ModeStep {
    const char* radio;
    std::vector<const char*> enabled, disabled;
};
struct ModeWindow {
    int32_t target;
    std::vector<ModeStep> steps;
};

const ModeWindow kModeWindows[] = {
    {kTargetLame,
     {{"ABR", {"abrBitrate"},
       {"cbrBitrate", "vbrMinBitrate", "vbrMaxBitrate", "vbrMethod", "track bar", "Bit Reservoir"}},
      {"VBR", {"vbrMinBitrate", "vbrMaxBitrate", "vbrMethod", "track bar", "Bit Reservoir", "Quality"}, {"abrBitrate"}},
      {"CBR", {"cbrBitrate"}, {"vbrMinBitrate", "Xing VBR Header"}},
      {"Resample", {"resampleRate"}, {}},
      {"From Source", {}, {"resampleRate"}}}},
    {kTargetGoGo,
     {{"ABR", {"bitrate"}, {"vbrMinBitrate", "Max"}},
      {"VBR", {"vbrMinBitrate", "vbrMaxBitrate", "Min", "Max"}, {"bitrate"}},
      {"Resample", {"resampleRate"}, {}}}},
    {kTargetOgg,
     {{"ABR", {"abrBitrate"}, {"track bar", "trueVbrBitrate"}},
      {"True VBR", {"trueVbrBitrate"}, {"abrBitrate"}}}},
    {kTargetAac, {{"VBR, Quality", {"quality"}, {"bitrate"}}, {"CBR, Bit Rate", {"bitrate"}, {"quality"}}}},
    {kTargetWavPack,
     {{"Hybrid (Lossy)", {"bitrate", "Correction File (.wvc)"}, {}},
      {"Lossless", {}, {"bitrate", "Correction File (.wvc)"}}}},
};

QWidget* Control(QWidget* window, const QString& name) {
    if (name == "track bar") return window->findChild<QSlider*>();
    for (QWidget* widget : window->findChildren<QWidget*>())
        if (widget->objectName() == name || widget->property("text").toString() == name) return widget;
    ADD_FAILURE() << "no control " << name.toStdString();
    return window;
}

}  // namespace

TEST(TuningWindows, EachEngineEditsOnlyItsOwnBlockAndOnlyOnSave) {
    for (const ConverterSettings& start : {Defaults(), VariedSettings()}) {
        for (const Engine& engine : kEngines) {
            SCOPED_TRACE(engine.title);
            zelph::test::ScratchDir dir;
            zelph::test::WriteFile(dir / "zelph.conf", "# kept\nother.key = 3\n");
            Preferences preferences(dir / "zelph.conf");
            preferences.Load();
            ConverterSettings s = start;
            // Cancel and an untouched Save keep every choice; each changed Save
            // changes each one in zelph.conf (so the second also proves they are
            // shown as stored). Every field of a record's block must change on
            // the first only: a VBR range keeps its order, so a second change of
            // its ends may be undone.
            const std::tuple<bool, const char*, bool> steps[] = {
                {true, "Cancel", false}, {false, "Save", false}, {true, "Save", true}, {true, "Save", false}};
            for (const auto& [change, button, everyField] : steps) {
                const ConverterSettings was = s;
                const Preferences wasPreferences = preferences;
                WhenOpen([&, change = change, button = button](QWidget* window) {
                    EXPECT_EQ(window->windowTitle(), engine.title);
                    if (change) ChangeEverything(window);
                    Press(window, button);
                });
                const bool save = button == std::string("Save"), saved = change && save;
                EXPECT_EQ(OpenWindow(engine, s, preferences), save);
                for (const PreferenceKey& key : KeysOf(engine))
                    EXPECT_EQ(preferences.Get(key.name) != wasPreferences.Get(key.name), saved) << button << " " << key.name;
                const auto* now = reinterpret_cast<const char*>(&s);
                const auto* before = reinterpret_cast<const char*>(&was);
                EXPECT_TRUE(SameBytes(now, before, saved ? engine.begin : sizeof s)) << button;
                EXPECT_TRUE(SameBytes(now + engine.end, before + engine.end, sizeof s - engine.end));
                if (!everyField) continue;
                // Every choice of the block is saved, and each pair is one the command line accepts.
                for (const SettingsField& field : SettingsFields()) {
                    // The output folder is chosen by browsing only.
                    if (field.offset < engine.begin || field.offset >= engine.end || field.type == FieldType::Folder)
                        continue;
                    const std::size_t size = field.type == FieldType::Int16 ? 2 : 4;
                    EXPECT_FALSE(SameBytes(now + field.offset, before + field.offset, size)) << field.name;
                    if (!field.list || !field.isIndex) continue;
                    int32_t index;
                    std::memcpy(&index, now + field.offset, sizeof index);
                    ConverterSettings viaTable = s;
                    EXPECT_EQ(SetSettingsField(viaTable, field.name, std::to_string(index)), "") << field.name;
                    EXPECT_TRUE(SameBytes(&viaTable, &s, sizeof s)) << field.name;
                }
            }
            EXPECT_NE(zelph::test::ReadFile(dir / "zelph.conf").find("# kept\nother.key = 3\n"), std::string::npos);
            if (!engine.tuned) continue;
            Preferences reread(dir / "zelph.conf");
            reread.Load();
            EXPECT_EQ(reread, preferences) << "what was saved reads back";
        }
    }
    ConverterSettings s = Defaults();
    Preferences preferences("/nowhere/zelph.conf");
    EXPECT_FALSE(OpenEngineTuning(0, s, preferences, nullptr)) << "no target, no window";
}

// The choices whose shown form is not the stored one.
TEST(TuningWindows, OpusAutomaticBitrateAndAacQualityAreStoredInTheirOwnUnits) {
    Preferences preferences("/nowhere/zelph.conf");
    ConverterSettings s = Defaults();
    WhenOpen([](QWidget* window) {
        auto* bitrate = window->findChild<QSpinBox*>("bitrate");
        EXPECT_EQ(bitrate->text().toStdString(), "Auto (128 Stereo, 64 Mono)");
        bitrate->setValue(96);
        Press(window, "Save");
    });
    OpenEngineTuning(kTargetOpus, s, preferences, nullptr);
    EXPECT_EQ(TuningFrom(preferences).Of<OpusSettings>().bitrate, 96);
    WhenOpen([](QWidget* window) {
        auto* bitrate = window->findChild<QSpinBox*>("bitrate");
        EXPECT_EQ(bitrate->text().toStdString(), "96 kbit/s");
        bitrate->setValue(bitrate->minimum());
        Press(window, "Save");
    });
    OpenEngineTuning(kTargetOpus, s, preferences, nullptr);
    EXPECT_EQ(TuningFrom(preferences).Of<OpusSettings>().bitrate, 0) << "the lowest position is automatic";
    WhenOpen([](QWidget* window) {
        window->findChild<QDoubleSpinBox*>("quality")->setValue(1.5);
        Press(window, "Save");
    });
    OpenEngineTuning(kTargetAac, s, preferences, nullptr);
    EXPECT_EQ(TuningFrom(preferences).Of<AacSettings>().quality, 15);
}

TEST(TuningWindows, EachModeOpensItsOwnControlsAndVbrRangesStayOrdered) {
    Preferences preferences("/nowhere/zelph.conf");
    for (const ModeWindow& tuned : kModeWindows) {
        ConverterSettings s = Defaults();
        WhenOpen([&](QWidget* w) {
            SCOPED_TRACE(w->windowTitle().toStdString());
            for (const ModeStep& step : tuned.steps) {
                SCOPED_TRACE(step.radio);
                Press(w, step.radio);
                for (const char* name : step.enabled) EXPECT_TRUE(Control(w, name)->isEnabled()) << name;
                for (const char* name : step.disabled) EXPECT_FALSE(Control(w, name)->isEnabled()) << name;
            }
            if (!w->findChild<QComboBox*>("vbrMaxBitrate")) return;
            Pick(List(w, "vbrMinBitrate"), "192");
            Pick(List(w, "vbrMaxBitrate"), "128");
            EXPECT_EQ(List(w, "vbrMaxBitrate")->currentText(), "192") << "maximum follows the minimum";
            Pick(List(w, "vbrMaxBitrate"), "224");
            Pick(List(w, "vbrMinBitrate"), "256");
            EXPECT_EQ(List(w, "vbrMinBitrate")->currentText(), "224") << "minimum follows the maximum";
        });
        OpenEngineTuning(tuned.target, s, preferences, nullptr);
    }
}

TEST(TuningWindows, OutOfRangeFieldsShowNothingAndAreKeptOnSave) {
    ConverterSettings s = Defaults();
    s.lame.cbrBitrateIndex = 40;
    s.lame.cbrBitrate = 999;
    s.lame.bitrateMode = static_cast<Mp3BitrateMode>(7);
    s.lame.abrBitrate = 77;
    const LameSettings before = s.lame;
    CEngineMp3Lame window(&s.lame);
    Open(window, [](QWidget* w) {
        EXPECT_EQ(List(w, "cbrBitrate")->currentIndex(), -1);
        EXPECT_FALSE(Checked(w, "CBR") || Checked(w, "ABR") || Checked(w, "VBR"));
        for (const char* name : {"cbrBitrate", "abrBitrate", "vbrMinBitrate", "vbrMethod"})
            EXPECT_TRUE(List(w, name)->isEnabled()) << name << ": a mode outside its group disables nothing";
        // Typed text that names no entry is no selection either.
        List(w, "abrBitrate")->setEditText("999");
        Press(w, "Save");
    });
    EXPECT_TRUE(SameBytes(&s.lame, &before, sizeof before)) << "every field kept, in range or not";

    // The next opening shows the stored choice again, and typed text naming
    // an entry selects it.
    s.lame.bitrateMode = Mp3BitrateMode::kVbr;
    Open(window, [](QWidget* w) {
        EXPECT_FALSE(List(w, "cbrBitrate")->isEnabled());
        List(w, "cbrBitrate")->setEditText("192");
        Press(w, "Save");
    });
    EXPECT_EQ(s.lame.cbrBitrateIndex, 13);
    EXPECT_EQ(s.lame.cbrBitrate, 192);
}

TEST(GeneralSettings, ItsOtherChoicesEditThePreferencesAndNothingInTheRecord) {
    GeneralSettings block = Defaults().general;
    const GeneralSettings before = block;
    zelph::test::ScratchDir dir;
    Preferences preferences(dir / "zelph.conf");
    CGeneralSettingsDlg window(&block, &preferences);
    // Every box, list, number and field changed: Cancel keeps every choice
    // of the window (the general ones and the rules), each Save changes every
    // one, so each is shown as stored and saved.
    for (const char* button : {"Cancel", "Save", "Save"}) {
        const Preferences was = preferences;
        const std::string root = preferences.GetText(kKeepTreeRoot);
        Open(window, [&](QWidget* w) {
            auto* gainTarget = w->findChild<QSpinBox*>("gainTarget");
            if (Checked(w, "Apply Gain To")) {
                EXPECT_EQ(gainTarget->value(), was.Get(kApplyGainLufs));
            }
            ChangeChoices(w);
            EXPECT_EQ(gainTarget->isEnabled(), Checked(w, "Apply Gain To"));
            auto* pattern = w->findChild<QLineEdit*>("namePattern");
            pattern->setText(pattern->text() + "%title%");
            w->findChild<QLineEdit*>("keepTreeRoot")->setText(QString::fromStdString(" /m\u00fcsic" + root + " "));
            Press(w, button);
        });
        const bool saved = std::string(button) == "Save";
        for (const PreferenceKey& key : PreferenceKeys())
            if (key.name.starts_with("general.") || key.name.starts_with("rules.")) {
                EXPECT_EQ(preferences.GetText(key.name) != was.GetText(key.name), saved) << key.name;
            }
        EXPECT_EQ(preferences.GetText(kKeepTreeRoot), saved ? "/m\u00fcsic" + root : root) << "kept trimmed";
    }
    EXPECT_TRUE(SameBytes(&block, &before, sizeof block)) << "the preferences have no place in Settings.dat";
}

TEST(GeneralSettings, BrowsedFolderGetsItsTrailingSlashAndOneThatDoesNotFitIsNeverStored) {
    zelph::test::ScratchDir dir;
    const std::string chosen = dir / "out";
    std::filesystem::create_directory(chosen);
    GeneralSettings block = Defaults().general;
    Preferences preferences("/nowhere/zelph.conf");
    CGeneralSettingsDlg window(&block, &preferences);
    auto browseThenSave = [&](const std::string& answer) {
        FakeFolderDialog dialog(answer);
        Open(window, [&](QWidget* w) {
            const std::string shown = FolderField(w)->text().toStdString();
            Press(w, "Browse");
            EXPECT_EQ(dialog.startedAt, shown) << "the browser starts at the folder shown";
            Press(w, "Save");
        });
    };
    browseThenSave(chosen);
    EXPECT_EQ(std::string(block.outputFolder), chosen + "/");
    EXPECT_EQ(block.outputFolderMode, OutputFolderMode::kInFolder);

    browseThenSave("/");
    EXPECT_EQ(std::string(block.outputFolder), "/") << "a root gets no second slash";

    // A cancelled browser still means "In Folder", with the folder as it was.
    block.outputFolderMode = OutputFolderMode::kBesideSource;
    browseThenSave("");
    EXPECT_EQ(block.outputFolderMode, OutputFolderMode::kInFolder);
    EXPECT_EQ(std::string(block.outputFolder), "/");

    // A folder that does not fit is never stored.
    std::memset(block.outputFolder, 'a', kOutputFolderSize);  // no terminating zero
    Open(window, [](QWidget* w) {
        Press(w, "Overwrite Output File");
        Press(w, "Save");
    });
    EXPECT_EQ(block.existingFileAction, ExistingFileAction::kOverwrite);
    EXPECT_EQ(std::string(block.outputFolder, kOutputFolderSize), std::string(kOutputFolderSize, 'a'));
    std::string deep = dir.path();
    while (deep.size() < kOutputFolderSize) deep += std::string(200, 'd') + "/";
    std::filesystem::create_directories(deep);
    // The field itself is read-only, takes no focus at first, and, focused
    // by hand, means "In Folder".
    FakeFolderDialog dialog(deep);
    block = Defaults().general;
    Open(window, [](QWidget* w) {
        EXPECT_TRUE(FolderField(w)->isReadOnly());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        EXPECT_NE(QApplication::focusWidget(), FolderField(w));
        FolderField(w)->setFocus(Qt::MouseFocusReason);
        EXPECT_TRUE(Checked(w, "In Folder") && !Checked(w, "In Folder Of Source File"));
        Press(w, "Browse");
        EXPECT_EQ(FolderField(w)->text(), "/music/");
        Press(w, "Save");
    });
    EXPECT_EQ(std::string(block.outputFolder), "/music/");
    EXPECT_EQ(block.outputFolderMode, OutputFolderMode::kInFolder);
}

TEST(FolderBrowser, GivesOnlyRealExistingFolders) {
    zelph::test::ScratchDir dir;
    std::filesystem::create_directory(dir / "real");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    {
        FakeFolderDialog dialog(dir / "link");
        EXPECT_EQ(BrowseForFolder(nullptr, ""), std::filesystem::canonical(dir / "real").string());
        EXPECT_EQ(dialog.startedAt, QDir::currentPath().toStdString());
    }
    for (const std::string& answer : {dir / "gone", std::string()}) {
        FakeFolderDialog dialog(answer);
        EXPECT_EQ(BrowseForFolder(nullptr, "/"), std::nullopt);
    }
}
