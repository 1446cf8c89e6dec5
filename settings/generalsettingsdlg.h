#pragma once
// "General Settings": where outputs go, what happens to an existing output,
// whether the source is kept, whether tags are copied to the outputs, how
// outputs are named (a kept folder tree, a pattern of tag fields), and how a
// library is kept up to date (only what changed, orphans removed, a rule per
// source kind, folder images along).

#include <string>
#include <vector>

#include "settings/dialogparts.h"
#include "settings/preferences.h"
#include "settings/settingswindow.h"

class QCheckBox;
class QComboBox;
class QSpinBox;
class QLineEdit;

namespace zelph {

// A target a rule per source kind may name: its radio's text and its command-line name.
struct RuleTarget {
    std::string text, name;
};

class CGeneralSettingsDlg : public CSettingsWindow {
public:
    // Copy Tags, Files At Once and the library's choices are kept in the
    // preferences, not the record. `ruleTargets` are the targets the rules offer.
    CGeneralSettingsDlg(GeneralSettings* block, Preferences* preferences, QWidget* parent = nullptr,
                        const std::vector<RuleTarget>& ruleTargets = {});

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
    QCheckBox* updateBox_;
    QCheckBox* deleteOrphansBox_;
    QCheckBox* folderImagesBox_;
    // Per source kind: the chosen target, another target, or a plain copy.
    QComboBox* losslessRule_;
    QComboBox* lossyRule_;
    // The folder as stored, byte for byte; the field only displays it.
    std::string folderText_;
};

}  // namespace zelph
