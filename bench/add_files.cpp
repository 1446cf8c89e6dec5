// Adds the files named on the command line to the main window at once, on
// the offscreen platform, and prints the seconds until every row is listed
// and the window has been drawn.

#include <cstdlib>
#include <iostream>

#include <QElapsedTimer>
#include <QTreeWidget>

#include "app/converterapp.h"
#include "app/converterdlg.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    zelph::CConverterApp app(argc, argv);
    QStringList paths;
    for (int i = 1; i < argc; ++i) paths << QString::fromLocal8Bit(argv[i]);

    zelph::CConverterDlg window;
    window.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    window.AddPaths(paths);
    window.fileList()->repaint();
    QApplication::processEvents();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (window.fileList()->topLevelItemCount() != paths.size()) {
        std::cerr << "rows missing\n";
        return 1;
    }
    std::cout << seconds << '\n';
    return 0;
}
