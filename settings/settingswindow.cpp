#include "settings/settingswindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/dialogparts.h"

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
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    auto* window = new QVBoxLayout(this);
    window->addLayout(controls);
    window->addLayout(buttons);
    window->setSizeConstraint(QLayout::SetFixedSize);
}

int CSettingsWindow::exec() {
    ShowBlock();
    return QDialog::exec();
}

}  // namespace zelph
