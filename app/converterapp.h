#pragma once
// The application object: runs the main window and ends with it.

#include <QApplication>

namespace zelph {

class CConverterDlg;

class CConverterApp : public QApplication {
public:
    CConverterApp(int& argc, char** argv);
    // Shows the main window until it closes; the program's exit status.
    int InitInstance();
};

// Shows `window` and handles events until it closes.
void RunMainWindow(CConverterDlg& window);

}  // namespace zelph
