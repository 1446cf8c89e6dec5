// zelph: the converter's main window.

#include <iostream>

#include "app/converterapp.h"
#include "app/startoptions.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they work without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const zelph::StartOptions options = zelph::ParseStartOptions(arguments);
    if (options.help || options.version) {
        std::cout << (options.help ? zelph::kAppUsage : "zelph (Zelph Audio Converter) 1.0\n");
        return 0;
    }
    zelph::CConverterApp app(argc, argv);
    return app.InitInstance();
}
