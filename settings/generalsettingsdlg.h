#pragma once
// "General Settings": where outputs go, what happens to an existing output,
// whether the source is kept, whether tags are copied to the outputs, how
// outputs are named (a kept folder tree, a pattern of tag fields, with a
// preview of the names the list's first files would get), and how a library
// is kept up to date (only what changed, orphans removed, a rule per source
// kind, folder images along).

#include <functional>
#include <string>
#include <vector>

#include "settings/dialogparts.h"
#include "settings/preferences.h"
#include "settings/settingswindow.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QLineEdit;
class QTreeWidget;
class QVBoxLayout;

namespace zelph {

// A target a rule per source kind may name: its radio's text and its command-line name.
struct RuleTarget {
    std::string text, name;
};

// The naming choices as the window shows them, saved or not.
struct NameChoices {
    GeneralSettings general;
    std::string treeRoot;
    std::string pattern;
};

// What those choices would make of the list's first files.
struct NamePreview {
    struct Row {
        std::string source;
        std::string folder;  // where the output's name starts: the output folder, or the source's
        std::string output;  // below `folder`; "" when the file gets none
        std::string note;    // why it gets none
    };
    std::vector<Row> rows;
    std::size_t listed = 0;  // files in the whole list
    std::string problem;     // why the files could not be planned, or ""
};
using NamePreviewer = std::function<NamePreview(const NameChoices&)>;

class CGeneralSettingsDlg : public CSettingsWindow {
public:
    // Copy Tags, Files At Once and the library's choices are kept in the
    // preferences, not the record. `ruleTargets` are the targets the rules
    // offer. Without a previewer the window shows no preview, and both its
    // parts are nullptr.
    CGeneralSettingsDlg(GeneralSettings* block, Preferences* preferences, QWidget* parent = nullptr,
                        const std::vector<RuleTarget>& ruleTargets = {}, NamePreviewer previewer = {});

    QTreeWidget* namePreview() const { return namePreview_; }
    // The planning problem, or how much of the list the preview covers.
    QLabel* namePreviewNote() const { return namePreviewNote_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowBlock() override;
    void StoreBlock() override;
    void Browse();
    void BrowseTreeRoot();
    void ChooseInFolder();
    void UpdateNamePreview();

    GeneralSettings* block_;
    Preferences* preferences_;
    NamePreviewer previewer_;
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
    QCheckBox* applyGainBox_;
    QSpinBox* gainTarget_;  // the loudness in LUFS, while the box is checked
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
    QVBoxLayout* names_;
    QTreeWidget* namePreview_ = nullptr;
    QLabel* namePreviewNote_ = nullptr;
    // The folder as stored, byte for byte; the field only displays it.
    std::string folderText_;
};

}  // namespace zelph
