#pragma once
// "General Settings": where outputs go, what happens to an existing output,
// whether the source is kept, whether tags are copied to the outputs, and how
// outputs are named (a kept folder tree, a pattern of tag fields).

#include <string>

#include "settings/dialogparts.h"
#include "settings/preferences.h"
#include "settings/settingswindow.h"

class QCheckBox;
class QComboBox;
class QSpinBox;
class QLineEdit;

namespace zelph {

class CGeneralSettingsDlg : public CSettingsWindow {
public:
    // Copy Tags and Files At Once are kept in the preferences, not the record.
    CGeneralSettingsDlg(GeneralSettings* block, Preferences* preferences, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowBlock() override;
    void StoreBlock() override;
    void Browse();
    void BrowseTreeRoot();
    void ChooseInFolder();

    GeneralSettings* block_;
    Preferences* preferences_;
    RadioGroup folderMode_;
    RadioGroup existingFile_;
    RadioGroup afterOperation_;
    QRadioButton* besideSource_;
    QRadioButton* inFolder_;
    QLineEdit* folderField_;
    QPushButton* browse_;
    QCheckBox* copyTagsBox_;
    QCheckBox* verifyBox_;
    QComboBox* loudness_;
    QCheckBox* truePeakBox_;
    QSpinBox* filesAtOnce_;
    QLineEdit* treeRootField_;
    QPushButton* browseTreeRoot_;
    QLineEdit* namePatternField_;
    // The folder as stored, byte for byte; the field only displays it.
    std::string folderText_;
};

}  // namespace zelph
