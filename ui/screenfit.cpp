#include "ui/screenfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zelph {

QSize AvailableScreenSize(const QWidget* window) {
    const QScreen* screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return screen->availableGeometry().size();
}

}  // namespace zelph
