// Pictures of the tuning windows, General Settings and the progress window for the
// documentation:
//   xvfb-run -a build/bin/zelph-window-shots docs/screenshots
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#include <thread>

#include "app/convertprogressdlg.h"
#include "app/namepreview.h"
#include "codecs/wavpcmengine.h"
#include "core/targets.h"
#include "settings/enginetuning.h"
#include "settings/generalsettingsdlg.h"
#include "ui/uiresources.h"

namespace {

// Opens `window` as the program would and saves what it shows.
bool Shoot(QDialog& window, const QString& path) {
    bool saved = false;
    QTimer::singleShot(300, &window, [&] {
        saved = window.grab().save(path);
        window.reject();
    });
    window.exec();
    return saved;
}

// Every target's tuning window, opened as its Settings button opens it:
// NAME-engine.png by the target's command-line name.
bool ShootTuningWindows(zelph::ConverterSettings& settings, zelph::Preferences& preferences, const QString& folder) {
    bool saved = true;
    for (const zelph::TargetRow& row : zelph::Targets()) {
        QTimer grab;  // dies with the round, so it never fires on the next window
        grab.setSingleShot(true);
        QObject::connect(&grab, &QTimer::timeout, [&] {
            auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!window) return;
            saved = window->grab().save(folder + row.cliName + "-engine.png") && saved;
            window->reject();
        });
        grab.start(300);
        zelph::OpenEngineTuning(row.format, settings, preferences, nullptr);
    }
    return saved;
}

// Halfway through its file until the window stops it.
void HalfDone(const zelph::Job&, zelph::JobState& state) {
    state.progress.store(45);
    while (!state.stopRequested.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    state.running.store(0);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    zelph::InitUiResources();
    if (argc != 2) {
        std::fprintf(stderr, "usage: zelph-window-shots FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + "/";
    zelph::ConverterSettings settings{};
    zelph::ApplyDefaults(settings, "/home/user/Music/");
    zelph::Preferences preferences("/nowhere/zelph.conf");
    // The batch needs sources that exist and a folder it may write to.
    QTemporaryDir music;
    std::vector<std::string> sources;
    for (const char* name : {"Morning Tone.wav", "voice memo.wav"}) {
        sources.push_back(music.filePath(name).toStdString());
        QFile(music.filePath(name)).open(QIODevice::WriteOnly);
    }
    // General Settings previews a small library kept as a tree.
    std::vector<std::string> library;
    for (const char* name : {"Album/01 Morning Tone.flac", "Album/02 Evening Tone.flac", "Live/Encore.wav", "cover.jpg"})
        library.push_back("/home/user/Music/" + std::string(name));
    preferences.Set(zelph::kKeepTreeRoot, "/home/user/Music");
    settings.general.outputFolderMode = zelph::OutputFolderMode::kInFolder;
    zelph::SetOutputFolder(settings.general, "/home/user/Music (converted)/");
    zelph::CGeneralSettingsDlg general(&settings.general, &preferences, nullptr, {},
                                       [&](const zelph::NameChoices& choices) {
                                           return zelph::PreviewOutputNames(settings, preferences, zelph::kTargetOgg,
                                                                            library, choices);
                                       });
    zelph::ConverterSettings batchSettings{};
    zelph::ApplyDefaults(batchSettings, music.path().toStdString() + "/");
    zelph::Preferences twoAtOnce("/nowhere/zelph.conf");
    twoAtOnce.Set(zelph::kFilesAtOnce, "2");
    zelph::CConvertProgressDlg progress(nullptr, zelph::EngineTable{{&zelph::kEncWavPcm, HalfDone}});
    progress.SetSettings(&batchSettings);
    progress.SetPreferences(&twoAtOnce);
    progress.PlanJobs(zelph::kTargetWav, sources);
    const bool saved = ShootTuningWindows(settings, preferences, folder) && Shoot(general, folder + "general-settings.png") &&
                       Shoot(progress, folder + "progress-window.png");
    return saved ? 0 : 1;
}
