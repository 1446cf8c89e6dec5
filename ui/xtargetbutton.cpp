#include "ui/xtargetbutton.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace zelph {

namespace {

// The marks stand this far inside the edge, with arms of these lengths.
constexpr int kMarkInset = 3;
constexpr int kMarkArmX = 4;
constexpr int kMarkArmY = 3;

// An icon file's own size (SVGs give theirs in width/height); empty when the
// file cannot be read as an image.
QSize NaturalSize(const QString& path) {
    if (path.isEmpty()) return {};
    QImageReader reader(path);
    return reader.canRead() ? reader.size() : QSize();
}

}  // namespace

CTargetButton::CTargetButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted
}

void CTargetButton::SetButtonIcons(const QString& normalIcon, IconAlignment alignment,
                                   const QString& hoverIcon, const QString& pressedIcon) {
    normalIcon_ = hoverIcon_ = pressedIcon_ = QIcon();
    iconSize_ = QSize();
    alignment_ = alignment == kIconLeft || alignment == kIconRight ? alignment : kIconAbove;
    const QSize size = NaturalSize(normalIcon);
    if (size.isEmpty()) {
        updateGeometry();
        update();
        return;
    }
    iconSize_ = size;
    normalIcon_ = QIcon(normalIcon);
    auto orNormal = [&](const QString& path) {
        return NaturalSize(path).isEmpty() ? normalIcon_ : QIcon(path);
    };
    pressedIcon_ = orNormal(pressedIcon);
    hoverIcon_ = orNormal(hoverIcon);
    updateGeometry();
    update();
}

QRect CTargetButton::iconRect() const {
    if (iconSize_.isEmpty()) return {};
    const int w = width(), h = height();
    const int iw = iconSize_.width(), ih = iconSize_.height();
    switch (alignment_) {
        case kIconLeft: return {kMargin, std::max(0, h / 2 - ih / 2), iw, ih};
        case kIconRight: return {w - iw - kMargin, std::max(0, h / 2 - ih / 2), iw, ih};
        default: return {std::max(0, w / 2 - iw / 2), std::max(0, h / 2 - ih), iw, ih};
    }
}

QSize CTargetButton::sizeHint() const {
    QSize hint = QPushButton::sizeHint();
    if (iconSize_.isEmpty()) return hint;
    if (alignment_ == kIconAbove)
        return {std::max(hint.width(), iconSize_.width() + 2 * kMargin),
                hint.height() + iconSize_.height()};
    return {hint.width() + iconSize_.width() + kMargin,
            std::max(hint.height(), iconSize_.height() + 2 * kMargin + 1)};
}

void CTargetButton::enterEvent(QEnterEvent* event) {
    if (!isDown()) {
        hovering_ = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CTargetButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QPushButton::leaveEvent(event);
}

// While the button is held its looks follow the pressed state alone; the
// hover look comes back with the first move after the release.
void CTargetButton::mousePressEvent(QMouseEvent* event) {
    hovering_ = false;
    QPushButton::mousePressEvent(event);
}

void CTargetButton::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton && !hovering_ && rect().contains(event->position().toPoint())) {
        hovering_ = true;
        update();
    }
    QPushButton::mouseMoveEvent(event);
}

void CTargetButton::DrawTargetMarks(QPainter& painter, const QColor& colour, int offset) const {
    const int e = kMarkInset + offset;
    // Push buttons are drawn one pixel in from the right and bottom so that
    // the pressed shift stays inside the face.
    const int xr = width() - kMarkInset - 2 + offset;
    const int yb = height() - kMarkInset - 2 + offset;
    painter.setPen(QPen(colour, 1));
    for (int x : {e, xr}) {
        const int arm = x == e ? kMarkArmX : -kMarkArmX;
        for (int y : {e, yb}) {
            const int rise = y == e ? kMarkArmY : -kMarkArmY;
            painter.drawLine(x, y, x + arm, y);
            painter.drawLine(x, y, x, y + rise);
        }
    }
}

// A two-pixel edge: raised is light above and left, dark below and right.
void CTargetButton::DrawEdge(QPainter& painter, QRect rect, bool sunken) const {
    const QPalette& p = palette();
    const QColor outerTopLeft = sunken ? p.color(QPalette::Dark) : p.color(QPalette::Midlight);
    const QColor outerBottomRight = sunken ? p.color(QPalette::Light) : p.color(QPalette::Shadow);
    const QColor innerTopLeft = sunken ? p.color(QPalette::Shadow) : p.color(QPalette::Light);
    const QColor innerBottomRight = sunken ? p.color(QPalette::Midlight) : p.color(QPalette::Dark);
    for (auto [topLeft, bottomRight] : {std::pair{outerTopLeft, outerBottomRight},
                                        std::pair{innerTopLeft, innerBottomRight}}) {
        painter.setPen(topLeft);
        painter.drawLine(rect.topLeft(), rect.topRight());
        painter.drawLine(rect.topLeft(), rect.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomRight());
        rect.adjust(1, 1, -1, -1);
    }
}

void CTargetButton::DrawThinFrame(QPainter& painter) const {
    const QPalette& p = palette();
    const QRect r = rect();
    painter.setPen(p.color(QPalette::Light));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(p.color(QPalette::Dark));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

void CTargetButton::paintEvent(QPaintEvent*) {
    // Qt paints widgets into a backing store and shows it in one step, so the
    // button never flickers without a bitmap of its own.
    QPainter painter(this);
    const QPalette& p = palette();
    const QRect r = rect();
    const QColor textColour = p.color(QPalette::ButtonText);
    const QRect icon = iconRect();
    QRect text(kMargin + 2, 0, width() - 2 * (kMargin + 2), height());
    if (!icon.isEmpty()) {
        if (alignment_ == kIconLeft) text.setLeft(text.left() + icon.width());
        else if (alignment_ == kIconRight) text.setRight(text.right() - icon.width());
        else text.adjust(0, icon.height(), 0, -(kMargin + 1));
    }
    const int textFlags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    auto drawIcon = [&](const QIcon& which, QRect at, QIcon::Mode mode) {
        if (!which.isNull()) which.paint(&painter, at, Qt::AlignCenter, mode);
    };

    if (!isEnabled()) {
        painter.fillRect(r, p.color(QPalette::Button));
        drawIcon(normalIcon_, icon, QIcon::Disabled);
        DrawEdge(painter, r, false);
        painter.setPen(p.color(QPalette::Light));
        painter.drawText(text, textFlags, this->text());
        painter.setPen(p.color(QPalette::Disabled, QPalette::WindowText));
        painter.drawText(text.translated(-1, -1), textFlags, this->text());
        return;
    }

    const bool pressed = isDown() || isChecked();
    bool marksDrawn = false;
    if (pressed) {
        painter.fillRect(r, p.color(QPalette::Light));
        if (hovering_) DrawTargetMarks(painter, textColour, 0);
        drawIcon(pressedIcon_, icon.translated(1, 1), QIcon::Normal);
        text.translate(1, 1);
        DrawEdge(painter, r, true);
    } else {
        painter.fillRect(r, p.color(hovering_ ? QPalette::Light : QPalette::Button));
        if (hovering_) {
            DrawTargetMarks(painter, textColour, 0);
            marksDrawn = true;
        }
        drawIcon(hovering_ ? hoverIcon_ : normalIcon_, icon, QIcon::Normal);
        if (isDefault()) {
            DrawEdge(painter, r, true);
            DrawEdge(painter, r.adjusted(1, 1, -1, -1), false);
        } else {
            DrawThinFrame(painter);
        }
    }
    if (hasFocus()) {
        if (!hovering_ && !pressed) DrawTargetMarks(painter, p.color(QPalette::ToolTipBase), 0);
        else if (!marksDrawn) DrawTargetMarks(painter, textColour, 1);
    }
    painter.setPen(textColour);
    painter.drawText(text, textFlags, this->text());
}

}  // namespace zelph
