#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include "tests/support/scratch.h"
#include "ui/xtargetbutton.h"

using namespace zelph;

namespace {

const QColor kFace(200, 200, 200), kLight(255, 255, 255), kDark(100, 100, 100), kText(0, 0, 128),
    kTip(255, 255, 160), kRed(255, 0, 0);

class TargetButton : public ::testing::Test {
protected:
    TargetButton() : button("Go", &window), elsewhere(&window) {
        QPalette palette;
        for (auto [role, colour] : {std::pair{QPalette::Button, kFace}, {QPalette::Light, kLight},
                                    {QPalette::Dark, kDark}, {QPalette::ButtonText, kText},
                                    {QPalette::ToolTipBase, kTip}})
            palette.setColor(role, colour);
        button.setPalette(palette);
        button.setGeometry(0, 0, 120, 30);
        elsewhere.move(0, 40);
        window.setGeometry(300, 300, 200, 60);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        elsewhere.setFocus();
        Send(QEvent(QEvent::Leave));  // wherever the pointer was
    }

    QColor Pixel(int x, int y) { return button.grab().toImage().pixelColor(x, y); }
    void Send(QEvent&& event) { QApplication::sendEvent(&button, &event); }
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        Send(QMouseEvent(type, at, button.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier));
    }
    void Hover() { Send(QEnterEvent({60, 15}, {60, 15}, {60, 15})); }

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
    EXPECT_EQ(Pixel(60, 2), kLight);
    for (QPoint mark : {QPoint(3, 3), QPoint(7, 3), QPoint(3, 6), QPoint(115, 25)})
        EXPECT_EQ(Pixel(mark.x(), mark.y()), kText) << mark.x() << "," << mark.y();
    Send(QEvent(QEvent::Leave));
    EXPECT_EQ(Pixel(60, 2), kFace);

    button.setFocus();
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
    EXPECT_FALSE(button.hovering()) << "held: the looks follow the press alone";
    Mouse(QEvent::MouseMove, {160, 15}, Qt::LeftButton);
    EXPECT_EQ(Pixel(60, 2), kFace);
    Mouse(QEvent::MouseMove, {60, 15}, Qt::LeftButton);
    EXPECT_TRUE(button.isDown());
    Mouse(QEvent::MouseMove, {160, 15}, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {160, 15}, Qt::NoButton);
    EXPECT_EQ(clicks, 0);
}

TEST_F(TargetButton, IconsSitWhereAskedAndMissingIconsFallBack) {
    test::ScratchDir dir;
    test::WriteFile(dir / "red.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                                     "<rect width='16' height='16' fill='#ff0000'/></svg>");
    button.setGeometry(0, 0, 120, 23);
    // An alignment the button does not know puts the icon above the caption.
    // Left comes last: the pressed look below is seen with it.
    const std::pair<int, QRect> places[] = {{CTargetButton::kIconRight, {101, 3, 16, 16}},
                                            {CTargetButton::kIconAbove, {52, 0, 16, 16}},
                                            {0, {52, 0, 16, 16}},
                                            {CTargetButton::kIconLeft, {3, 3, 16, 16}}};
    for (const auto& [alignment, rect] : places) {
        button.SetButtonIcons(QString::fromStdString(dir / "red.svg"), CTargetButton::IconAlignment(alignment), "",
                              QString::fromStdString(dir / "missing.svg"));
        EXPECT_EQ(button.iconRect(), rect) << alignment;
        EXPECT_EQ(Pixel(rect.x(), rect.y() + 3), kRed) << alignment;
    }
    EXPECT_NE(Pixel(19, 10), kRed);
    button.setDown(true);
    EXPECT_EQ(Pixel(19, 19), kRed) << "the missing pressed icon is the normal one, shifted";
    button.SetButtonIcons(QString::fromStdString(dir / "missing.svg"));
    EXPECT_TRUE(button.iconRect().isEmpty());
}
