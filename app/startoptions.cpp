#include "app/startoptions.h"

#include <QDir>
#include <QFileInfo>

#include "settings/settingsfolder.h"

namespace zelph {

const char* const kAppUsage =
    "Usage: zelph [Qt options] [FILE...]\n"
    "Opens the converter's main window with FILE... listed (a folder lists the\n"
    "music files under it). The settings live in $XDG_CONFIG_HOME/zelph/ (default\n"
    "~/.config/zelph/), shared with zelph-convert, unless a Settings.dat in the\n"
    "working folder or beside the program is there.\n"
    "\n"
    "  --xdg-settings   accepted and ignored (the menu entry passes it)\n"
    "  --help           show this text\n"
    "  --version        show the version\n";

StartOptions ParseStartOptions(const QStringList& arguments) {
    StartOptions options;
    bool onlyFiles = false;
    for (const QString& argument : arguments) {
        if (onlyFiles || !argument.startsWith('-') || argument == "-") {
            // Relative names are read against the folder the program starts in.
            options.files << QFileInfo(argument).absoluteFilePath();
        } else if (argument == "--") {
            onlyFiles = true;
        } else if (argument == "--xdg-settings") {
            // Menu entries and scripts pass it; the settings are kept in the
            // configuration folder without it.
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (options.error.isEmpty()) {
            options.error = "unknown option '" + argument + "'";
        }
    }
    return options;
}

QString StartupFolder() {
    const QString folder = QString::fromStdString(SettingsFolder());
    QDir().mkpath(folder);
    return folder;
}

}  // namespace zelph
