#pragma once
// The windows' images live in a static library, so each program registers
// them once before its first window. Also the colour every window gives a
// failure.

#include <QColor>

class QPalette;

namespace zelph {

void InitUiResources();

// Red that reads on `palette`'s background, light or dark.
QColor FailureColour(const QPalette& palette);

}  // namespace zelph
