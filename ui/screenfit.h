#pragma once
// Keeping windows on the screen: the room a screen leaves a window, in
// logical (device-independent) pixels, so that one figure holds at every
// scale factor.

#include <QSize>

class QWidget;

namespace zelph {

// Room left for the title bar and borders, which the window does not draw.
inline constexpr QSize kWindowDecorations(16, 48);

// The available area of the window's screen (the primary one before the
// window is shown): the screen less its panels.
QSize AvailableScreenSize(const QWidget* window);

// What a window may take of `available` without its frame going off-screen.
inline QSize RoomOn(const QSize& available) { return available - kWindowDecorations; }

}  // namespace zelph
