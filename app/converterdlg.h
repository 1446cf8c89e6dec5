#pragma once
// The main window: the list of files to convert with each file's size,
// format description and status, the choice of target, and the commands.

#include <QDialog>
#include <QFileIconProvider>

#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/convertprogressdlg.h"
#include "formats/probes.h"
#include "settings/settings.h"

class QRadioButton;
class QVBoxLayout;
class QTreeWidget;

namespace zelph {

class CTargetButton;

inline constexpr const char* kMainWindowTitle = "    Zelph Audio Converter";

class CConverterDlg : public QDialog {
    Q_OBJECT
public:
    // The settings windows are opened through these; until one is given the
    // command opens nothing.
    using EngineTuningOpener = std::function<void(TargetFormat, ConverterSettings&, QWidget* parent)>;
    using GeneralSettingsOpener = std::function<void(GeneralSettings&, RunOptions&, QWidget* parent)>;

    explicit CConverterDlg(QWidget* parent = nullptr, EngineTable engines = StandardEngines());

    void SetEngineTuningOpener(EngineTuningOpener opener) { engineTuningOpener_ = std::move(opener); }
    void SetGeneralSettingsOpener(GeneralSettingsOpener opener) {
        generalSettingsOpener_ = std::move(opener);
    }

    // The commands.
    void AddFiles();
    // Appends the paths not listed yet (exact comparison) and rebuilds the rows.
    void AddPaths(const QStringList& paths);
    void RemoveFiles();
    void ClearFiles();
    void RefreshFileList();
    void OpenEngineTuning();
    void OpenGeneralSettings();
    void RestoreDefaults();
    void Convert();
    void ShowAbout();

    const std::vector<std::string>& filePaths() const { return filePaths_; }
    QTreeWidget* fileList() const { return fileList_; }
    QRadioButton* targetRadio(TargetFormat target) const { return radios_[target - 1]; }
    CTargetButton* convertButton() const { return convertButton_; }
    CTargetButton* engineTuningButton() const { return engineTuningButton_; }
    CTargetButton* restoreDefaultsButton() const { return restoreDefaultsButton_; }
    CConvertProgressDlg& progressWindow() { return progress_; }
    SettingsStore& settings() { return settings_; }
    RunOptions& runOptions() { return runOptions_; }

protected:
    // The close request saves the settings; Escape closes without saving.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CachedDescription {
        std::string stamp;  // size and change times when it was probed
        AudioDescription description;
    };

    void BuildMenus(QVBoxLayout* layout);
    QWidget* BuildTargetRow();
    void SaveSettings();
    void CheckTargetRadio(int32_t targetFormat);
    // 0 when no radio is checked.
    int32_t CheckedTarget() const;
    void ResizeColumns();
    const AudioDescription& Describe(const std::string& path, const std::string& stamp);
    QIcon FileIcon(const QString& path);
    static QStringList MusicFilesIn(const QString& folder);

    SettingsStore settings_;
    RunOptions runOptions_;  // the choices Settings.dat has no room for
    CConvertProgressDlg progress_;
    std::vector<std::string> filePaths_;
    QTreeWidget* fileList_;
    std::array<QRadioButton*, 6> radios_{};
    CTargetButton* engineTuningButton_;
    CTargetButton* restoreDefaultsButton_;
    CTargetButton* convertButton_;
    EngineTuningOpener engineTuningOpener_;
    GeneralSettingsOpener generalSettingsOpener_;
    QFileIconProvider iconProvider_;
    std::unordered_map<QString, QIcon> iconsByKind_;
    std::unordered_map<std::string, CachedDescription> descriptions_;
};

}  // namespace zelph
