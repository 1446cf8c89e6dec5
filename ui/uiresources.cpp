#include "ui/uiresources.h"

#include <QPalette>
#include <QtGlobal>

// Q_INIT_RESOURCE declares its function in the current namespace, so it is
// called from the global one.
static void RegisterResources() { Q_INIT_RESOURCE(resources); }

namespace zelph {

void InitUiResources() { RegisterResources(); }

QColor FailureColour(const QPalette& palette) {
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    return dark ? QColor(0xff, 0x8a, 0x80) : QColor(0xc6, 0x28, 0x28);
}

}  // namespace zelph
