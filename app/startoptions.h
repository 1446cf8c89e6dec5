#pragma once
// The main window's command line: the files to list when it opens and where
// the settings live.

#include <QString>
#include <QStringList>

namespace zelph {

extern const char* const kAppUsage;

struct StartOptions {
    QStringList files;         // absolute paths, in the order given
    bool xdgSettings = false;  // settings in the XDG configuration folder
    bool help = false;
    bool version = false;
    QString error;             // set for an unknown option
};

// `arguments` are what Qt left of the command line, without the program name.
StartOptions ParseStartOptions(const QStringList& arguments);

// "$XDG_CONFIG_HOME/zelph/", or "~/.config/zelph/" when that is unset or
// not absolute (as the XDG base directory rules say).
QString XdgSettingsFolder();

// The folder whose Settings.dat the main window uses: the working folder,
// or the XDG one (made when missing) for --xdg-settings.
QString StartupFolder(const StartOptions& options);

}  // namespace zelph
