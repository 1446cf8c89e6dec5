// Adds the files and folders named on the command line to the main window at
// once, as a drop does, on the offscreen platform, draws the list and exits:
// the whole process is what bench/add_files_bench.sh and
// bench/folders_bench.sh time. Fails when a file's row is missing, or a
// folder brought none. With --lengths first it also waits until every row's
// length, read in the background, has arrived.

#include <cstdlib>
#include <iostream>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTreeWidget>

#include <cstring>

#include "app/converterapp.h"
#include "app/converterdlg.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    zelph::CConverterApp app(argc, argv);
    const bool lengths = argc > 1 && std::strcmp(argv[1], "--lengths") == 0;
    QStringList paths;
    bool onlyFiles = true;
    for (int i = lengths ? 2 : 1; i < argc; ++i) {
        paths << QString::fromLocal8Bit(argv[i]);
        onlyFiles = onlyFiles && !QFileInfo(paths.back()).isDir();
    }

    zelph::CConverterDlg window;
    window.show();
    window.AddFilesAndFolders(paths);
    window.fileList()->repaint();
    QApplication::processEvents();
    const int rows = window.fileList()->topLevelItemCount();
    if (onlyFiles ? rows != paths.size() : rows == 0) {
        std::cerr << "rows missing\n";
        return 1;
    }
    // The Length column is the last to fill; a blank is a read still to come.
    constexpr int kLengthColumn = 6;
    QElapsedTimer waited;
    waited.start();
    for (int row = 0; lengths && row < rows;) {
        if (!window.fileList()->topLevelItem(row)->text(kLengthColumn).isEmpty()) {
            ++row;
        } else if (waited.elapsed() > 600000) {
            std::cerr << "lengths missing\n";
            return 1;
        } else {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
    }
    return 0;
}
