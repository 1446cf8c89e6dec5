#pragma once
// The frame every settings window shares: controls above a "Save" and a
// "Cancel" button. Each opening shows the block afresh; only "Save" writes
// the controls back, every other way of closing leaves the block as it was.
// On a screen too small for the controls they scroll, and the buttons stay
// in sight below them.

#include <QDialog>

class QBoxLayout;
class QLayout;
class QPushButton;
class QScrollArea;

namespace zelph {

class CSettingsWindow : public QDialog {
public:
    // Shows the block in the controls, then runs modally. Accepted after "Save".
    int exec() override;

    // Takes the size the controls ask for, as far as a screen area of
    // `available` (without window decorations) allows.
    void FitTo(const QSize& available);

    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    CSettingsWindow(const QString& title, QWidget* parent);
    // Places the window's controls, made beforehand, above the command buttons.
    void SetControls(QLayout* controls);

    virtual void ShowBlock() = 0;
    virtual void StoreBlock() = 0;

private:
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QBoxLayout* buttons_ = nullptr;
};

}  // namespace zelph
