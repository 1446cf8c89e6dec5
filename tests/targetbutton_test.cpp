#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include "tests/support/qtsupport.h"
#include "tests/support/scratch.h"
#include "ui/xtargetbutton.h"

using namespace zelph;

namespace {

const QColor kFace(200, 200, 200), kLight(255, 255, 255), kDark(100, 100, 100),
    kText(0, 0, 128), kTip(255, 255, 160);

class TargetButton : public ::testing::Test {
protected:
    TargetButton() : button("Go", &window), elsewhere(&window) {
        QPalette palette;
        palette.setColor(QPalette::Button, kFace);
        palette.setColor(QPalette::Light, kLight);
        palette.setColor(QPalette::Dark, kDark);
        palette.setColor(QPalette::ButtonText, kText);
        palette.setColor(QPalette::ToolTipBase, kTip);
        button.setPalette(palette);
        button.setGeometry(0, 0, 120, 30);
        window.setGeometry(300, 300, 200, 60);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        elsewhere.move(0, 40);
        elsewhere.setFocus();
        QEvent leave(QEvent::Leave);  // wherever the pointer was
        QApplication::sendEvent(&button, &leave);
    }

    QColor Pixel(int x, int y) { return button.grab().toImage().pixelColor(x, y); }

    void Hover() {
        QEnterEvent enter(QPointF(60, 15), QPointF(60, 15), QPointF(60, 15));
        QApplication::sendEvent(&button, &enter);
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, button.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&button, &event);
    }

    QWidget window;
    CTargetButton button;
    QLineEdit elsewhere;  // holds the focus until a test gives it to the button
};

}  // namespace

// Probes: (60, 2) is face above the caption, (3, 3) the corner of the top
// left mark, (0, 0) the frame.
TEST_F(TargetButton, EachStateHasItsLook) {
    EXPECT_EQ(Pixel(60, 2), kFace);
    EXPECT_EQ(Pixel(3, 3), kFace) << "no marks at rest";
    EXPECT_EQ(Pixel(0, 0), kLight) << "thin raised frame";
    EXPECT_EQ(Pixel(119, 29), kDark);

    Hover();
    EXPECT_TRUE(button.hovering());
    EXPECT_EQ(Pixel(60, 2), kLight);
    EXPECT_EQ(Pixel(3, 3), kText);
    EXPECT_EQ(Pixel(7, 3), kText) << "horizontal arm";
    EXPECT_EQ(Pixel(3, 6), kText) << "vertical arm";
    EXPECT_EQ(Pixel(115, 25), kText) << "bottom right mark";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(Pixel(60, 2), kFace);

    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    EXPECT_EQ(Pixel(3, 3), kTip) << "focus alone: marks in the tooltip colour";
    EXPECT_EQ(Pixel(60, 2), kFace);

    button.setDown(true);
    EXPECT_EQ(Pixel(60, 2), kLight);
    EXPECT_EQ(Pixel(0, 0), kDark) << "sunken edge";
    EXPECT_EQ(Pixel(4, 4), kText) << "focused and pressed: marks moved by a pixel";
    button.setDown(false);

    button.setEnabled(false);
    EXPECT_EQ(Pixel(60, 2), kFace);
    EXPECT_NE(Pixel(3, 3), kTip);
}

TEST_F(TargetButton, DraggingOffWhileHeldPopsUpAndSendsNoClick) {
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    Hover();
    Mouse(QEvent::MouseButtonPress, {60, 15}, Qt::LeftButton);
    EXPECT_TRUE(button.isDown());
    EXPECT_FALSE(button.hovering()) << "held: the looks follow the press alone";
    Mouse(QEvent::MouseMove, {160, 15}, Qt::LeftButton);
    EXPECT_FALSE(button.isDown());
    EXPECT_EQ(Pixel(60, 2), kFace);
    Mouse(QEvent::MouseMove, {60, 15}, Qt::LeftButton);
    EXPECT_TRUE(button.isDown());
    Mouse(QEvent::MouseMove, {160, 15}, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {160, 15}, Qt::NoButton);
    EXPECT_EQ(clicks, 0);

    Mouse(QEvent::MouseButtonPress, {60, 15}, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {60, 15}, Qt::NoButton);
    EXPECT_EQ(clicks, 1);
}

TEST_F(TargetButton, IconSitsLeftOfTheCaptionAndMissingIconsFallBack) {
    test::ScratchDir dir;
    test::WriteFile(dir / "red.svg",
                    "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                    "<rect width='16' height='16' fill='#ff0000'/></svg>");
    button.setGeometry(0, 0, 120, 23);
    button.SetButtonIcons(QString::fromStdString(dir / "red.svg"), CTargetButton::kIconLeft, "",
                          QString::fromStdString(dir / "missing.svg"));
    EXPECT_EQ(button.iconRect(), QRect(3, 3, 16, 16));
    EXPECT_EQ(Pixel(3, 3), QColor(255, 0, 0));
    EXPECT_EQ(Pixel(18, 18), QColor(255, 0, 0));
    EXPECT_NE(Pixel(19, 10), QColor(255, 0, 0));
    button.setDown(true);
    EXPECT_EQ(Pixel(19, 19), QColor(255, 0, 0)) << "the missing pressed icon is the normal one, shifted";

    button.SetButtonIcons(QString::fromStdString(dir / "missing.svg"));
    EXPECT_TRUE(button.iconRect().isEmpty());
}
