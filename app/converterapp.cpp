#include "app/converterapp.h"

#include <QEventLoop>

#include "app/converterdlg.h"
#include "cli/options.h"
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
    CConverterDlg window;
    window.SetEngineTuningOpener([](TargetFormat target, ConverterSettings& settings, QWidget* parent) {
        OpenEngineTuning(TargetIdOf(target), settings, parent);
    });
    window.SetGeneralSettingsOpener([](GeneralSettings& general, RunOptions& options, QWidget* parent) {
        CGeneralSettingsDlg dialog(&general, &options.copyTags, parent);
        dialog.exec();
    });
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
