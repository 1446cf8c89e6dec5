#include "app/converterapp.h"

#include <QEventLoop>

#include <iostream>

#include "app/converterdlg.h"
#include "app/startoptions.h"
#include "settings/enginetuning.h"
#include "settings/generalsettingsdlg.h"
#include "ui/uiresources.h"

namespace zelph {

CConverterApp::CConverterApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Zelph Audio Converter");
    // The main window is hidden while a conversion runs; the program ends
    // when that window closes, not when the progress window does.
    setQuitOnLastWindowClosed(false);
    InitUiResources();
}

int CConverterApp::InitInstance() {
    const StartOptions options = ParseStartOptions(arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::cerr << "zelph: " << options.error.toStdString() << " (see --help)\n";
        return 2;
    }
    CConverterDlg window(nullptr, StandardEngines(), StartupFolder());
    window.SetEngineTuningOpener([&window](int32_t target, ConverterSettings& settings, QWidget* parent) {
        OpenEngineTuning(target, settings, window.preferences(), parent);
    });
    window.SetGeneralSettingsOpener([&window](GeneralSettings& general, Preferences& preferences, QWidget* parent) {
        std::vector<RuleTarget> targets;
        for (const TargetRow& row : Targets()) targets.push_back({row.radioText, row.cliName});
        CGeneralSettingsDlg dialog(&general, &preferences, parent, targets, window.NamePreviews());
        dialog.exec();
    });
    // Files handed over by a file manager or a terminal are listed at once.
    if (!options.files.isEmpty()) window.AddFilesAndFolders(options.files);
    RunMainWindow(window);
    return 0;
}

void RunMainWindow(CConverterDlg& window) {
    // Not the dialog's own exec(): hiding a dialog ends that loop, and
    // Convert hides the window while the progress window runs.
    QEventLoop loop;
    QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
    window.show();
    window.activateWindow();
    loop.exec();
}

}  // namespace zelph
