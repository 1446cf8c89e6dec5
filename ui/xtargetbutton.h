#pragma once
// A push button that draws itself: a flat face with an icon beside the
// caption, a thin 3-D frame, and four corner "target" marks while the mouse
// is over it or it has the keyboard focus.

#include <QIcon>
#include <QPushButton>

namespace zelph {

class CTargetButton : public QPushButton {
    Q_OBJECT
public:
    enum IconAlignment { kIconLeft = 256, kIconRight = 512, kIconAbove = 768 };

    explicit CTargetButton(const QString& text = {}, QWidget* parent = nullptr);

    // Icons by resource path ("" = none). A hover or pressed icon that is
    // missing or cannot be loaded is the normal one; a normal icon that
    // cannot be loaded leaves the button without an icon.
    void SetButtonIcons(const QString& normalIcon, IconAlignment alignment = kIconLeft,
                        const QString& hoverIcon = {}, const QString& pressedIcon = {});

    bool hovering() const { return hovering_; }
    // Where the icon is drawn, in the button's own coordinates; empty without one.
    QRect iconRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void DrawTargetMarks(QPainter& painter, const QColor& colour, int offset) const;
    void DrawThinFrame(QPainter& painter) const;
    void DrawEdge(QPainter& painter, QRect rect, bool sunken) const;

    static constexpr int kMargin = 3;
    bool hovering_ = false;
    QIcon normalIcon_, hoverIcon_, pressedIcon_;
    IconAlignment alignment_ = kIconAbove;
    QSize iconSize_;
};

}  // namespace zelph
