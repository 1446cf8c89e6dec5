#include "app/startoptions.h"

#include <QDir>
#include <QFileInfo>

namespace zelph {

const char* const kAppUsage =
    "Usage: zelph [--xdg-settings] [Qt options] [FILE...]\n"
    "Opens the converter's main window with FILE... listed (a folder lists the\n"
    "music files under it).\n"
    "\n"
    "  --xdg-settings   keep Settings.dat in $XDG_CONFIG_HOME/zelph/ (default\n"
    "                   ~/.config/zelph/) instead of the working folder\n"
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
            options.xdgSettings = true;
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

QString XdgSettingsFolder() {
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(configHome) ? configHome : QDir::homePath() + "/.config";
    return QDir::cleanPath(base + "/zelph") + '/';
}

QString StartupFolder(const StartOptions& options) {
    if (!options.xdgSettings) return QDir::currentPath();
    const QString folder = XdgSettingsFolder();
    QDir().mkpath(folder);
    return folder;
}

}  // namespace zelph
