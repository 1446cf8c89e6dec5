#include "settings/settingswindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "settings/dialogparts.h"
#include "ui/screenfit.h"

namespace zelph {

CSettingsWindow::CSettingsWindow(const QString& title, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
}

void CSettingsWindow::SetControls(QLayout* controls) {
    // Made after the controls so that they come last in the tab order.
    save_ = MakeCommandButton("Save", ":/icons/save.svg", this);
    cancel_ = MakeCommandButton("Cancel", ":/icons/cancel.svg", this);
    connect(save_, &QPushButton::clicked, this, [this] {
        StoreBlock();
        accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    buttons_ = new QHBoxLayout;
    buttons_->addStretch();
    buttons_->addWidget(save_);
    buttons_->addWidget(cancel_);

    auto* content = new QWidget;
    content->setLayout(controls);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setWidget(content);
    auto* window = new QVBoxLayout(this);
    window->addWidget(scroll_, 1);
    window->addLayout(buttons_);
}

void CSettingsWindow::FitTo(const QSize& available) {
    const QSize room = RoomOn(available);
    // The scroll area's own hint is capped at a few dozen lines, so the
    // window is sized from the controls it holds.
    const QSize controls = scroll_->widget()->sizeHint();
    const QMargins margins = layout()->contentsMargins();
    const QSize buttons = buttons_->sizeHint();
    QSize wanted(std::max(controls.width(), buttons.width()) + margins.left() + margins.right(),
                 controls.height() + layout()->spacing() + buttons.height() + margins.top() + margins.bottom());
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (wanted.height() > room.height()) wanted.rwidth() += scrollBar;
    if (wanted.width() > room.width()) wanted.rheight() += scrollBar;
    resize(wanted.boundedTo(room).expandedTo(minimumSizeHint()));
}

int CSettingsWindow::exec() {
    ShowBlock();
    FitTo(AvailableScreenSize(this));
    return QDialog::exec();
}

}  // namespace zelph
