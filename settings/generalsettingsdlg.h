#pragma once
// "General Settings": where outputs go, what happens to an existing output,
// and whether the source is kept.

#include <string>

#include "settings/dialogparts.h"
#include "settings/settingswindow.h"

class QLineEdit;

namespace zelph {

class CGeneralSettingsDlg : public CSettingsWindow {
public:
    CGeneralSettingsDlg(GeneralSettings* block, QWidget* parent = nullptr);

    QPushButton* browseButton() const { return browse_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowBlock() override;
    void StoreBlock() override;
    void Browse();
    void ChooseInFolder();

    GeneralSettings* block_;
    RadioGroup folderMode_;
    RadioGroup existingFile_;
    RadioGroup afterOperation_;
    QRadioButton* besideSource_;
    QRadioButton* inFolder_;
    QLineEdit* folderField_;
    QPushButton* browse_;
    // The folder as stored, byte for byte; the field only displays it.
    std::string folderText_;
};

}  // namespace zelph
