#pragma once
// The frame every settings window shares: controls above a "Save" and a
// "Cancel" button. Each opening shows the block afresh; only "Save" writes
// the controls back, every other way of closing leaves the block as it was.

#include <QDialog>

class QLayout;
class QPushButton;

namespace zelph {

class CSettingsWindow : public QDialog {
public:
    // Shows the block in the controls, then runs modally. Accepted after "Save".
    int exec() override;

protected:
    CSettingsWindow(const QString& title, QWidget* parent);
    // Places the window's controls, made beforehand, above the command buttons.
    void SetControls(QLayout* controls);

    virtual void ShowBlock() = 0;
    virtual void StoreBlock() = 0;

private:
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace zelph
