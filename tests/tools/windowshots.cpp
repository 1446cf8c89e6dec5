// Pictures of the settings windows for the documentation:
//   xvfb-run -a build/bin/zelph-window-shots docs/screenshots
#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "settings/enginemp3lame.h"
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
    zelph::CEngineMp3Lame lame(&settings.lame);
    bool copyTags = true;
    zelph::CGeneralSettingsDlg general(&settings.general, &copyTags);
    const bool saved = Shoot(lame, folder + "lame-engine.png") && Shoot(general, folder + "general-settings.png");
    return saved ? 0 : 1;
}
