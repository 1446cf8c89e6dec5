// Adds the files and folders named on the command line to the main window at
// once, as a drop does, on the offscreen platform, draws the list and exits:
// the whole process is what bench/add_files_bench.sh and
// bench/folders_bench.sh time. Fails when a file's row is missing, or a
// folder brought none.

#include <cstdlib>
#include <iostream>

#include <QFileInfo>
#include <QTreeWidget>

#include "app/converterapp.h"
#include "app/converterdlg.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    zelph::CConverterApp app(argc, argv);
    QStringList paths;
    bool onlyFiles = true;
    for (int i = 1; i < argc; ++i) {
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
    return 0;
}
