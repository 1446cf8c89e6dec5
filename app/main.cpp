// zelph: the converter's main window.

#include "app/converterapp.h"

int main(int argc, char** argv) {
    zelph::CConverterApp app(argc, argv);
    return app.InitInstance();
}
