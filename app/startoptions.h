#pragma once
// The main window's command line: the files to list when it opens.

#include <QString>
#include <QStringList>

namespace zelph {

extern const char* const kAppUsage;

struct StartOptions {
    QStringList files;         // absolute paths, in the order given
    bool help = false;
    bool version = false;
    QString error;             // set for an unknown option
};

// `arguments` are what Qt left of the command line, without the program name.
StartOptions ParseStartOptions(const QStringList& arguments);

// The folder whose Settings.dat the main window uses (SettingsFolder()),
// made when missing so that closing the window can save there.
QString StartupFolder();

}  // namespace zelph
