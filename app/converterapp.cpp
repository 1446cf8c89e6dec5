#include "app/converterapp.h"

#include "app/converterdlg.h"
#include "ui/uiresources.h"

namespace zelph {

CConverterApp::CConverterApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Zelph Audio Converter");
    InitUiResources();
}

int CConverterApp::InitInstance() {
    CConverterDlg window;
    window.exec();
    return 0;
}

}  // namespace zelph
