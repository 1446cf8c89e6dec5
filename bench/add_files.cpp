// Adds the files named on the command line to the main window at once, on
// the offscreen platform, draws the list and exits: the whole process is
// what bench/add_files_bench.sh times. Fails when a row is missing.

#include <cstdlib>
#include <iostream>

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
    window.AddPaths(paths);
    window.fileList()->repaint();
    QApplication::processEvents();
    if (window.fileList()->topLevelItemCount() != paths.size()) {
        std::cerr << "rows missing\n";
        return 1;
    }
    return 0;
}
