#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "codecs/job.h"
#include "settings/aactuning.h"
#include "settings/appliedgain.h"
#include "settings/engineapemonkey.h"
#include "settings/engineflac.h"
#include "settings/enginemp3gogo.h"
#include "settings/enginemp3lame.h"
#include "settings/engineoggvorbis.h"
#include "settings/enginetuning.h"
#include "settings/flactuning.h"
#include "settings/generalsettingsdlg.h"
#include "settings/opustuning.h"
#include "settings/wavpacktuning.h"
#include "settings/preferences.h"
#include "settings/tuning.h"
#include "settings/settingsfields.h"
#include "tests/support/scratch.h"
#include "ui/folderbrowser.h"

using namespace zelph;

namespace {

ConverterSettings Defaults() {
    ConverterSettings s{};
    ApplyDefaults(s, "/music/");
    return s;
}

// Runs `actions` inside the modal loop of whichever window opens next; they
// end by pressing a button. A window they leave open is cancelled.
void WhenOpen(std::function<void(QWidget*)> actions) {
    QTimer::singleShot(0, [actions] {
        QWidget* window = QApplication::activeModalWidget();
        ASSERT_NE(window, nullptr);
        actions(window);
        if (window->isVisible()) static_cast<QDialog*>(window)->reject();
    });
}

int Open(QDialog& window, std::function<void(QWidget*)> actions) {
    WhenOpen(std::move(actions));
    return window.exec();
}

template <typename Widget = QAbstractButton>
Widget* Find(QWidget* window, const QString& text) {
    for (Widget* widget : window->findChildren<Widget*>())
        if (widget->text() == text) return widget;
    ADD_FAILURE() << "no control \"" << text.toStdString() << "\"";
    return nullptr;
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

void Press(QWidget* window, const QString& text) { Find(window, text)->click(); }

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
    std::size_t begin, end;  // the block's bytes in the record
};
const Engine kEngines[] = {
    {kTargetWav, "Wave Engine", offsetof(ConverterSettings, wav), offsetof(ConverterSettings, wavPadding)},
    {kTargetBlade, "Mp3 Blade Engine", offsetof(ConverterSettings, blade), offsetof(ConverterSettings, lame)},
    {kTargetLame, "Mp3 Lame Engine", offsetof(ConverterSettings, lame), offsetof(ConverterSettings, gogo)},
    {kTargetGoGo, "Mp3 GoGo Engine", offsetof(ConverterSettings, gogo), offsetof(ConverterSettings, ogg)},
    {kTargetOgg, "Ogg Engine ", offsetof(ConverterSettings, ogg), offsetof(ConverterSettings, ape)},
    {kTargetApe, "Ape Engine", offsetof(ConverterSettings, ape), sizeof(ConverterSettings)},
};

// Changes every control of a window: another radio in each group, every
// check box, the next entry of each list and the next track-bar position.
void ChangeEverything(QWidget* window) {
    for (QButtonGroup* group : window->findChildren<QButtonGroup*>()) {
        for (QAbstractButton* radio : group->buttons())
            if (!radio->isChecked()) {
                radio->click();
                break;
            }
    }
    for (QCheckBox* box : window->findChildren<QCheckBox*>()) box->click();
    for (QComboBox* list : window->findChildren<QComboBox*>())
        Pick(list, list->itemText((list->currentIndex() + 1) % list->count()));
    for (QSlider* bar : window->findChildren<QSlider*>()) bar->setValue((bar->value() + 1) % 10);
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

// The texts of the radios of `window` that are checked, in sorted order.
QStringList CheckedRadios(QWidget* window) {
    QStringList checked;
    for (QRadioButton* radio : window->findChildren<QRadioButton*>())
        if (radio->isChecked()) checked << radio->text();
    checked.sort();
    return checked;
}

// A target whose tuning lives in the preferences file: its window, the
// slider and radios it opens on by default and those a user picks, and its
// other controls, shown (saved false: as by default, then changed; true:
// as changed) and read back.
struct PreferencesWindow {
    int32_t target;
    const char* title;
    const char* slider;
    int sliderBefore, sliderAfter;
    QStringList radiosBefore, radiosAfter;
    void (*others)(QWidget* window, bool saved);
    void (*readBack)(const TargetTuning& tuning);
};

const PreferencesWindow kPreferencesWindows[] = {
    {kTargetFlac, "Flac Engine", "level", 5, 8, {"As Source", "As Source"}, {"16 Bits/Sample", "Mono"},
     [](QWidget* w, bool saved) {
         EXPECT_EQ(w->findChild<QCheckBox*>()->isChecked(), saved) << "verify";
         if (!saved) w->findChild<QCheckBox*>()->click();
     },
     [](const TargetTuning& tuning) {
         const FlacSettings flac = tuning.Of<FlacSettings>();
         EXPECT_EQ(std::tuple(flac.level, flac.verify, flac.input.channelMode, flac.input.sampleSizeMode),
                   std::tuple(8, true, WavChannels::kMono, WavSampleSize::k16Bit));
     }},
    {kTargetOpus, "Opus Engine", "complexity", 10, 3, {"Music", "VBR"}, {"CBR", "Speech"},
     [](QWidget* w, bool saved) {
         auto* bitrate = w->findChild<QSpinBox*>("bitrate");
         EXPECT_EQ(bitrate->text().toStdString(), saved ? "96 kbit/s" : "Auto (128 Stereo, 64 Mono)");
         if (!saved) bitrate->setValue(96);
     },
     [](const TargetTuning& tuning) {
         const OpusSettings opus = tuning.Of<OpusSettings>();
         EXPECT_EQ(std::tuple(opus.bitrate, opus.complexity, opus.mode, opus.application),
                   std::tuple(96, 3, OpusMode::kCbr, OpusApplication::kSpeech));
     }},
};

}  // namespace

TEST(TuningWindows, EachEngineEditsOnlyItsOwnBlockAndOnlyOnSave) {
    zelph::test::ScratchDir dir;
    Preferences preferences(dir / "zelph.conf");
    for (const ConverterSettings& start : {Defaults(), VariedSettings()}) {
        for (const Engine& engine : kEngines) {
            SCOPED_TRACE(engine.title);
            ConverterSettings s = start;
            WhenOpen([&](QWidget* window) {
                EXPECT_EQ(window->windowTitle(), engine.title);
                ChangeEverything(window);
                Press(window, "Cancel");
            });
            EXPECT_FALSE(OpenEngineTuning(engine.target, s, preferences, nullptr));
            EXPECT_TRUE(SameBytes(&s, &start, sizeof s)) << "Cancel changed the record";

            WhenOpen([](QWidget* window) { Press(window, "Save"); });
            EXPECT_TRUE(OpenEngineTuning(engine.target, s, preferences, nullptr));
            EXPECT_TRUE(SameBytes(&s, &start, sizeof s)) << "an untouched Save changed the record";

            WhenOpen([](QWidget* window) {
                ChangeEverything(window);
                Press(window, "Save");
            });
            EXPECT_TRUE(OpenEngineTuning(engine.target, s, preferences, nullptr));
            const auto* now = reinterpret_cast<const char*>(&s);
            const auto* before = reinterpret_cast<const char*>(&start);
            EXPECT_TRUE(SameBytes(now, before, engine.begin));
            EXPECT_TRUE(SameBytes(now + engine.end, before + engine.end, sizeof s - engine.end));
            EXPECT_FALSE(SameBytes(now + engine.begin, before + engine.begin, engine.end - engine.begin));
            // The saved pairs are pairs the command line accepts.
            for (const SettingsField& field : SettingsFields()) {
                if (!field.list || !field.isIndex) continue;
                int32_t index;
                std::memcpy(&index, now + field.offset, sizeof index);
                ConverterSettings viaTable = s;
                EXPECT_EQ(SetSettingsField(viaTable, field.name, std::to_string(index)), "") << field.name;
                EXPECT_TRUE(SameBytes(&viaTable, &s, sizeof s)) << field.name;
            }
        }
    }
    ConverterSettings s = Defaults();
    EXPECT_FALSE(OpenEngineTuning(0, s, preferences, nullptr)) << "no target, no window";
}

TEST(TuningWindows, FlacAndOpusKeepTheirTuningInThePreferencesFile) {
    using zelph::test::ReadFile;
    for (const PreferencesWindow& tuned : kPreferencesWindows) {
        SCOPED_TRACE(tuned.title);
        zelph::test::ScratchDir dir;
        const std::string path = dir / "zelph.conf";
        zelph::test::WriteFile(path, "# kept\nother.key = 3\n");
        Preferences preferences(path);
        preferences.Load();
        ConverterSettings s = Defaults();
        const ConverterSettings start = s;

        WhenOpen([&](QWidget* window) {
            EXPECT_EQ(window->windowTitle(), tuned.title);
            ChangeEverything(window);
            Press(window, "Cancel");
        });
        EXPECT_FALSE(OpenEngineTuning(tuned.target, s, preferences, nullptr));
        EXPECT_EQ(ReadFile(path), "# kept\nother.key = 3\n") << "Cancel wrote the preferences";

        WhenOpen([&](QWidget* window) {
            auto* slider = window->findChild<QSlider*>(tuned.slider);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(slider->value(), tuned.sliderBefore);
            EXPECT_EQ(CheckedRadios(window), tuned.radiosBefore);
            tuned.others(window, false);
            slider->setValue(tuned.sliderAfter);
            for (QRadioButton* radio : window->findChildren<QRadioButton*>())
                if (tuned.radiosAfter.contains(radio->text())) radio->click();
            Press(window, "Save");
        });
        EXPECT_TRUE(OpenEngineTuning(tuned.target, s, preferences, nullptr));
        EXPECT_TRUE(SameBytes(&s, &start, sizeof s)) << "the tuning is not in the record";

        // The file holds the choices beside what was there, reads back, and
        // the reopened window shows them.
        Preferences reread(path);
        reread.Load();
        tuned.readBack(TuningFrom(reread));
        EXPECT_NE(ReadFile(path).find("# kept\nother.key = 3\n"), std::string::npos);
        WhenOpen([&](QWidget* window) {
            EXPECT_EQ(window->findChild<QSlider*>(tuned.slider)->value(), tuned.sliderAfter);
            EXPECT_EQ(CheckedRadios(window), tuned.radiosAfter);
            tuned.others(window, true);
            Press(window, "Cancel");
        });
        EXPECT_FALSE(OpenEngineTuning(tuned.target, s, reread, nullptr));
    }
}

// The quality only in VBR, the bit rate only in CBR; Save keeps both.
TEST(TuningWindows, AacEnablesTheFieldOfItsModeAndKeepsItsTuningInThePreferencesFile) {
    zelph::test::ScratchDir dir;
    const std::string path = dir / "zelph.conf";
    Preferences preferences(path);
    preferences.Load();
    ConverterSettings s = Defaults();
    WhenOpen([](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "Aac Engine");
        auto* quality = window->findChild<QDoubleSpinBox*>("quality");
        auto* bitrate = window->findChild<QSpinBox*>("bitrate");
        EXPECT_EQ(bitrate->value(), 192);
        EXPECT_TRUE(bitrate->isEnabled());
        EXPECT_FALSE(quality->isEnabled());
        for (QRadioButton* radio : window->findChildren<QRadioButton*>())
            if (radio->text().startsWith("VBR")) radio->click();
        EXPECT_TRUE(quality->isEnabled());
        EXPECT_FALSE(bitrate->isEnabled());
        quality->setValue(1.5);
        Press(window, "Save");
    });
    EXPECT_TRUE(OpenEngineTuning(kTargetAac, s, preferences, nullptr));
    Preferences reread(path);
    reread.Load();
    const AacSettings aac = TuningFrom(reread).Of<AacSettings>();
    EXPECT_EQ(aac.mode, AacMode::kVbr);
    EXPECT_EQ(aac.quality, 15);
    EXPECT_EQ(aac.bitrate, 192);
}

TEST(TuningWindows, WavPackKeepsItsTuningInThePreferencesFile) {
    zelph::test::ScratchDir dir;
    const std::string path = dir / "zelph.conf";
    Preferences preferences(path);
    preferences.Load();
    ConverterSettings s = Defaults();

    // Opened on the defaults: normal, lossless, the hybrid choices shown but
    // not open until hybrid is chosen.
    WhenOpen([](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "WavPack Engine");
        auto* bitrate = window->findChild<QSpinBox*>("bitrate");
        auto* correction = window->findChild<QCheckBox*>();
        EXPECT_EQ(bitrate->value(), 320);
        EXPECT_TRUE(correction->isChecked());
        EXPECT_FALSE(bitrate->isEnabled());
        EXPECT_FALSE(correction->isEnabled());
        for (QRadioButton* radio : window->findChildren<QRadioButton*>())
            EXPECT_EQ(radio->isChecked(), radio->text() == "Normal" || radio->text() == "Lossless")
                << radio->text().toStdString();
        for (QRadioButton* radio : window->findChildren<QRadioButton*>())
            if (radio->text() == "Very High" || radio->text() == "Hybrid (Lossy)") radio->click();
        EXPECT_TRUE(bitrate->isEnabled());
        EXPECT_TRUE(correction->isEnabled());
        bitrate->setValue(256);
        correction->click();
        Press(window, "Save");
    });
    EXPECT_TRUE(OpenEngineTuning(kTargetWavPack, s, preferences, nullptr));
    Preferences reread(path);
    reread.Load();
    const WavPackSettings wavpack = TuningFrom(reread).Of<WavPackSettings>();
    EXPECT_EQ(wavpack.level, WavPackLevel::kVeryHigh);
    EXPECT_EQ(wavpack.mode, WavPackMode::kHybrid);
    EXPECT_EQ(wavpack.bitrate, 256);
    EXPECT_FALSE(wavpack.correction);
}

TEST(TuningWindows, LameShowsItsBlockAndFollowsItsModes) {
    ConverterSettings s = Defaults();
    CEngineMp3Lame window(&s.lame);
    Open(window, [](QWidget* w) {
        EXPECT_TRUE(Checked(w, "CBR") && Checked(w, "Stereo") && Checked(w, "MPEG2") && Checked(w, "From Source"));
        EXPECT_TRUE(Checked(w, "Private Bit") && Checked(w, "CRC Bit") && Checked(w, "Xing VBR Header"));
        EXPECT_TRUE(List(w, "cbrBitrate")->isEnabled());
        for (const char* name : {"abrBitrate", "vbrMinBitrate", "vbrMaxBitrate", "vbrMethod", "resampleRate"})
            EXPECT_FALSE(List(w, name)->isEnabled()) << name;
        EXPECT_FALSE(w->findChild<QSlider*>()->isEnabled());
        EXPECT_FALSE(Find(w, "Bit Reservoir")->isEnabled());
        EXPECT_EQ(List(w, "abrBitrate")->currentText(), "128");
        EXPECT_EQ(List(w, "vbrMaxBitrate")->currentText(), "320");
        EXPECT_EQ(List(w, "vbrMethod")->currentText(), "Default");
        EXPECT_EQ(List(w, "preset")->currentText(), "Normal");
        EXPECT_EQ(List(w, "resampleRate")->currentText(), "44100");

        Press(w, "ABR");
        EXPECT_TRUE(List(w, "abrBitrate")->isEnabled());
        EXPECT_FALSE(List(w, "cbrBitrate")->isEnabled());
        Press(w, "VBR");
        EXPECT_FALSE(List(w, "abrBitrate")->isEnabled());
        EXPECT_TRUE(List(w, "vbrMinBitrate")->isEnabled() && Find(w, "Bit Reservoir")->isEnabled());
        EXPECT_TRUE(Find<QLabel>(w, "Quality")->isEnabled());

        Pick(List(w, "vbrMinBitrate"), "192");
        Pick(List(w, "vbrMaxBitrate"), "128");
        EXPECT_EQ(List(w, "vbrMaxBitrate")->currentText(), "192") << "maximum follows the minimum";
        Pick(List(w, "vbrMaxBitrate"), "224");
        Pick(List(w, "vbrMinBitrate"), "256");
        EXPECT_EQ(List(w, "vbrMinBitrate")->currentText(), "224") << "minimum follows the maximum";
        Pick(List(w, "vbrMethod"), "MTRH");
        w->findChild<QSlider*>()->setValue(4);
        Press(w, "Resample");
        EXPECT_TRUE(List(w, "resampleRate")->isEnabled());
        Pick(List(w, "resampleRate"), "22050");
        Pick(List(w, "preset"), "CD");
        Press(w, "Joint Stereo");
        Press(w, "CRC Bit");
        Press(w, "MPEG1");
        Press(w, "CBR");  // the VBR choices are saved all the same
        Press(w, "Save");
    });
    LameSettings l = Defaults().lame;
    l.vbrMinBitrateIndex = 14, l.vbrMinBitrate = 224, l.vbrMaxBitrateIndex = 14, l.vbrMaxBitrate = 224;
    l.vbrMethodIndex = 4, l.vbrMethod = 3, l.quality = 4, l.resampleRateIndex = 4, l.resampleRate = 22050;
    l.presetIndex = 14, l.preset = 9000, l.sampleRateMode = SampleRateMode::kResample, l.channelMode = Mp3Channels::kJointStereo, l.crcBit = 0,
    l.mpegVersion = MpegVersion::kMpeg1;
    EXPECT_TRUE(SameBytes(&s.lame, &l, sizeof l));
}

TEST(TuningWindows, OutOfRangeFieldsShowNothingAndAreKeptOnSave) {
    ConverterSettings s = Defaults();
    s.lame.cbrBitrateIndex = 40;
    s.lame.cbrBitrate = 999;
    s.lame.bitrateMode = static_cast<Mp3BitrateMode>(7);
    s.lame.channelMode = static_cast<Mp3Channels>(0);
    s.lame.abrBitrate = 77;
    CEngineMp3Lame window(&s.lame);
    Open(window, [](QWidget* w) {
        EXPECT_EQ(List(w, "cbrBitrate")->currentIndex(), -1);
        EXPECT_FALSE(Checked(w, "CBR") || Checked(w, "ABR") || Checked(w, "VBR"));
        EXPECT_FALSE(Checked(w, "Mono") || Checked(w, "Stereo") || Checked(w, "Joint Stereo"));
        for (const char* name : {"cbrBitrate", "abrBitrate", "vbrMinBitrate", "vbrMethod"})
            EXPECT_TRUE(List(w, name)->isEnabled()) << name << ": a mode outside its group disables nothing";
        // Typed text that names no entry is no selection either.
        List(w, "abrBitrate")->setEditText("999");
        Press(w, "Save");
    });
    EXPECT_EQ(s.lame.cbrBitrateIndex, 40);
    EXPECT_EQ(s.lame.cbrBitrate, 999);
    EXPECT_EQ(s.lame.abrBitrateIndex, 11);
    EXPECT_EQ(s.lame.abrBitrate, 77);
    EXPECT_EQ(s.lame.bitrateMode, static_cast<Mp3BitrateMode>(7));
    EXPECT_EQ(s.lame.channelMode, static_cast<Mp3Channels>(0));

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

TEST(TuningWindows, GoGoOggAndApeFollowTheirModesAndTables) {
    ConverterSettings s = Defaults();
    CEngineMp3GoGo gogo(&s.gogo);
    Open(gogo, [](QWidget* w) {
        EXPECT_TRUE(Checked(w, "CBR") && Checked(w, "VBR Tag") && Checked(w, "From Source"));
        EXPECT_FALSE(Checked(w, "MMX") || Checked(w, "3DNow"));
        EXPECT_TRUE(Checked(w, "SSE2") && Checked(w, "Altivec"));
        EXPECT_EQ(List(w, "emphasis")->currentText(), "50/15ms");
        EXPECT_FALSE(List(w, "vbrMinBitrate")->isEnabled() || Find<QLabel>(w, "Max")->isEnabled());
        Press(w, "ABR");
        EXPECT_TRUE(List(w, "bitrate")->isEnabled());
        Press(w, "VBR");
        EXPECT_FALSE(List(w, "bitrate")->isEnabled());
        EXPECT_TRUE(List(w, "vbrMaxBitrate")->isEnabled() && Find<QLabel>(w, "Min")->isEnabled());
        Pick(List(w, "vbrMaxBitrate"), "64");
        EXPECT_EQ(List(w, "vbrMaxBitrate")->currentText(), "128");
        Press(w, "Resample");
        Pick(List(w, "resampleRate"), "48000");
        Pick(List(w, "emphasis"), "CCITT");
        Press(w, "Save");
    });
    GoGoSettings g = Defaults().gogo;
    g.bitrateMode = Mp3BitrateMode::kVbr, g.vbrMaxBitrateIndex = 11, g.vbrMaxBitrate = 128, g.sampleRateMode = SampleRateMode::kResample;
    g.resampleRateIndex = 2, g.resampleRate = 48000, g.emphasisIndex = 2, g.emphasis = 3;
    EXPECT_TRUE(SameBytes(&s.gogo, &g, sizeof g));

    CEngineOggVorbis ogg(&s.ogg);
    Open(ogg, [](QWidget* w) {
        EXPECT_EQ(w->findChild<QSlider*>()->value(), 5);
        EXPECT_FALSE(List(w, "abrBitrate")->isEnabled() || List(w, "trueVbrBitrate")->isEnabled());
        EXPECT_EQ(List(w, "trueVbrBitrate")->currentText(), "128");
        Press(w, "ABR");
        EXPECT_TRUE(List(w, "abrBitrate")->isEnabled());
        EXPECT_FALSE(w->findChild<QSlider*>()->isEnabled() || List(w, "trueVbrBitrate")->isEnabled());
        Press(w, "True VBR");
        EXPECT_FALSE(List(w, "abrBitrate")->isEnabled());
        Pick(List(w, "trueVbrBitrate"), "350");
        w->findChild<QSlider*>()->setValue(9);
        Press(w, "Mono");
        Press(w, "Save");
    });
    OggVorbisSettings o = Defaults().ogg;
    o.bitrateMode = OggBitrateMode::kTrueVbr, o.qualityPosition = 9, o.vbrQuality = 0.1f, o.channelMode = OggChannels::kMono;
    o.trueVbrBitrateIndex = 10, o.trueVbrBitrate = 350;
    EXPECT_TRUE(SameBytes(&s.ogg, &o, sizeof o));

    CEngineApeMonkey ape(&s.ape);
    Open(ape, [](QWidget* w) {
        EXPECT_EQ(List(w, "compressionLevel")->currentText(), "Normal");
        Pick(List(w, "compressionLevel"), "Insane");
        Press(w, "8 Bits/Sample");
        Press(w, "Save");
    });
    const ApeSettings a{.compressionIndex = 4, .compressionLevel = 5000, .pcm = {WavChannels::kStereo, WavSampleSize::k8Bit}};
    EXPECT_TRUE(SameBytes(&s.ape, &a, sizeof a));
}

TEST(GeneralSettings, OpeningAndSavingUntouchedKeepsTheStoredChoices) {
    GeneralSettings block = Defaults().general;
    const GeneralSettings before = block;
    Preferences preferences("/nowhere/zelph.conf");
    CGeneralSettingsDlg window(&block, &preferences);
    EXPECT_EQ(Open(window,
                   [](QWidget* w) {
                       EXPECT_EQ(w->windowTitle(), "General Settings");
                       EXPECT_TRUE(Checked(w, "In Folder Of Source File") && Checked(w, "Rename Output File") &&
                                   Checked(w, "Leave The Source File Intact"));
                       EXPECT_EQ(FolderField(w)->text(), "/music/");
                       EXPECT_TRUE(FolderField(w)->isReadOnly());
                       EXPECT_NE(QApplication::focusWidget(), FolderField(w));
                       Press(w, "Save");
                   }),
              QDialog::Accepted);
    EXPECT_TRUE(SameBytes(&block, &before, sizeof block));

    // Entering the field by hand does choose "In Folder".
    Open(window, [](QWidget* w) {
        FolderField(w)->setFocus(Qt::MouseFocusReason);
        EXPECT_TRUE(Checked(w, "In Folder") && !Checked(w, "In Folder Of Source File"));
        Press(w, "Skip Output File");
        Press(w, "Delete Source File");
        Press(w, "Cancel");
    });
    EXPECT_TRUE(SameBytes(&block, &before, sizeof block)) << "Cancel changed the block";
}

TEST(GeneralSettings, CopyTagsVerifyLoudnessFilesAtOnceOutputNamesAndTheLibraryEditThePreferencesAndNothingInTheRecord) {
    GeneralSettings block = Defaults().general;
    const GeneralSettings before = block;
    zelph::test::ScratchDir dir;
    Preferences preferences(dir / "zelph.conf");
    CGeneralSettingsDlg window(&block, &preferences);
    const char* const verifyBox = "Verify Outputs (Always When Deleting Sources)";
    const char* const updateBox = "Only Convert What Changed Since The Last Run";
    for (const char* button : {"Cancel", "Save", "Save"}) {
        const bool was = preferences.Get(kCopyTags) != 0, verified = preferences.Get(kVerify) != 0;
        const bool updating = preferences.Get(kUpdate) != 0;
        const std::string lossy = preferences.GetText(kLossyRule);
        const int files = preferences.Get(kFilesAtOnce);
        const std::string pattern = preferences.GetText(kNamePattern), root = preferences.GetText(kKeepTreeRoot);
        const int loudness = preferences.Get(kLoudness), gain = preferences.Get(kApplyGainLufs);
        const bool truePeak = preferences.Get(kTruePeak) != 0;
        Open(window, [&](QWidget* w) {
            auto* loudnessList = w->findChild<QComboBox*>("loudness");
            auto* gainTarget = w->findChild<QSpinBox*>("gainTarget");
            EXPECT_EQ(loudnessList->currentIndex(), loudness);
            EXPECT_EQ(Checked(w, "True Peaks"), truePeak);
            EXPECT_EQ(Checked(w, "Apply Gain To"), gain != 0);
            EXPECT_EQ(gainTarget->isEnabled(), gain != 0);
            if (gain != 0) EXPECT_EQ(gainTarget->value(), gain);
            loudnessList->setCurrentIndex((loudness + 1) % 3);
            Press(w, "True Peaks");
            Press(w, "Apply Gain To");
            gainTarget->setValue(-14);
            EXPECT_EQ(Checked(w, "Copy Tags"), was) << "the box shows the preference as it is";
            EXPECT_EQ(Checked(w, verifyBox), verified);
            auto* patternField = w->findChild<QLineEdit*>("namePattern");
            auto* rootField = w->findChild<QLineEdit*>("keepTreeRoot");
            Press(w, "Copy Tags");
            Press(w, verifyBox);
            EXPECT_EQ(Checked(w, updateBox), updating);
            Press(w, updateBox);
            w->findChild<QComboBox*>("lossyRule")->setCurrentIndex(lossy.empty() ? 1 : 0);
            w->findChild<QSpinBox*>("filesAtOnce")->setValue(files + 3);
            patternField->setText(QString::fromStdString(pattern + "%title%"));
            rootField->setText(QString::fromStdString(" /m\u00fcsic" + root + " "));
            Press(w, button);
        });
        const bool saved = std::string(button) == "Save";
        EXPECT_EQ(preferences.Get(kCopyTags) != 0, saved ? !was : was);
        EXPECT_EQ(preferences.Get(kVerify) != 0, saved ? !verified : verified);
        EXPECT_EQ(preferences.Get(kFilesAtOnce), saved ? files + 3 : files);
        EXPECT_EQ(preferences.Get(kUpdate) != 0, saved ? !updating : updating);
        EXPECT_EQ(preferences.Get(kLoudness), saved ? (loudness + 1) % 3 : loudness);
        EXPECT_EQ(preferences.Get(kTruePeak) != 0, saved ? !truePeak : truePeak);
        EXPECT_EQ(preferences.Get(kApplyGainLufs), saved ? (gain != 0 ? 0 : -14) : gain);
        EXPECT_EQ(preferences.GetText(kLossyRule), saved ? (lossy.empty() ? "copy" : "") : lossy);
        EXPECT_EQ(preferences.GetText(kNamePattern), saved ? pattern + "%title%" : pattern);
        EXPECT_EQ(preferences.GetText(kKeepTreeRoot), saved ? "/m\u00fcsic" + root : root) << "kept trimmed";
    }
    // What was saved reads back from zelph.conf as it was chosen.
    ASSERT_EQ(preferences.Save(), "");
    Preferences reloaded(preferences.path());
    reloaded.Load();
    EXPECT_EQ(reloaded, preferences);
    EXPECT_TRUE(SameBytes(&block, &before, sizeof block)) << "the preferences have no place in Settings.dat";
}

TEST(GeneralSettings, BrowsedFolderGetsItsTrailingSlash) {
    zelph::test::ScratchDir dir;
    const std::string chosen = dir / "out";
    std::filesystem::create_directory(chosen);
    GeneralSettings block = Defaults().general;
    Preferences preferences("/nowhere/zelph.conf");
    CGeneralSettingsDlg window(&block, &preferences);
    auto browseThenSave = [&](const std::string& answer, const char* also) {
        FakeFolderDialog dialog(answer);
        Open(window, [&](QWidget* w) {
            const std::string shown = FolderField(w)->text().toStdString();
            Press(w, "Browse");
            EXPECT_EQ(dialog.startedAt, shown) << "the browser starts at the folder shown";
            Press(w, also);
            Press(w, "Save");
        });
    };
    browseThenSave(chosen, "Delete Source File");
    EXPECT_EQ(std::string(block.outputFolder), chosen + "/");
    EXPECT_EQ(block.outputFolderMode, OutputFolderMode::kInFolder);
    EXPECT_EQ(block.afterOperation, AfterOperation::kDeleteSource);

    browseThenSave("/", "Overwrite Output File");
    EXPECT_EQ(std::string(block.outputFolder), "/") << "a root gets no second slash";

    // A cancelled browser still means "In Folder", with the folder as it was.
    block.outputFolderMode = OutputFolderMode::kBesideSource;
    browseThenSave("", "Rename Output File");
    EXPECT_EQ(block.outputFolderMode, OutputFolderMode::kInFolder);
    EXPECT_EQ(std::string(block.outputFolder), "/");
}

TEST(GeneralSettings, FolderThatDoesNotFitIsNeverStored) {
    GeneralSettings block = Defaults().general;
    std::memset(block.outputFolder, 'a', kOutputFolderSize);  // no terminating zero
    Preferences preferences("/nowhere/zelph.conf");
    CGeneralSettingsDlg window(&block, &preferences);
    Open(window, [](QWidget* w) {
        Press(w, "Overwrite Output File");
        Press(w, "Save");
    });
    EXPECT_EQ(block.existingFileAction, ExistingFileAction::kOverwrite);
    EXPECT_EQ(std::string(block.outputFolder, kOutputFolderSize), std::string(kOutputFolderSize, 'a'));

    zelph::test::ScratchDir dir;
    std::string deep = dir.path();
    while (deep.size() < kOutputFolderSize) deep += std::string(200, 'd') + "/";
    std::filesystem::create_directories(deep);
    FakeFolderDialog dialog(deep);
    block = Defaults().general;
    Open(window, [](QWidget* w) {
        Press(w, "Browse");
        EXPECT_EQ(FolderField(w)->text(), "/music/");
        Press(w, "Save");
    });
    EXPECT_EQ(std::string(block.outputFolder), "/music/");
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
