#pragma once
// The main window: the list of files to convert with each file's size,
// format description and status, the choice of target, and the commands.

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileIconProvider>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/convertprogressdlg.h"
#include "app/lengthreader.h"
#include "formats/probes.h"
#include "settings/generalsettingsdlg.h"
#include "settings/preferences.h"
#include "settings/settings.h"

class QAction;
class QBoxLayout;
class QGridLayout;
class QLabel;
class QProgressBar;
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
    using EngineTuningOpener = std::function<void(int32_t targetFormat, ConverterSettings&, QWidget* parent)>;
    using GeneralSettingsOpener = std::function<void(GeneralSettings&, Preferences&, QWidget* parent)>;

    // Settings.dat is read from and saved to `startupFolder`.
    explicit CConverterDlg(QWidget* parent = nullptr, EngineTable engines = StandardEngines(),
                           const QString& startupFolder = QDir::currentPath());

    void SetEngineTuningOpener(EngineTuningOpener opener) { engineTuningOpener_ = std::move(opener); }
    void SetGeneralSettingsOpener(GeneralSettingsOpener opener) {
        generalSettingsOpener_ = std::move(opener);
    }

    // The commands.
    void AddFiles();
    // Adds the music files under a folder the user picks.
    void AddFolder();
    // Appends the paths not listed yet (exact comparison) and rebuilds the rows.
    void AddPaths(const QStringList& paths);
    // As AddPaths, with each folder standing for the music files under it.
    void AddFilesAndFolders(const QStringList& paths);
    void RemoveFiles();
    void ClearFiles();
    void RefreshFileList();
    void OpenEngineTuning();
    void OpenGeneralSettings();
    // The output names General Settings previews: the list's first files
    // under the choices being edited, for the checked target.
    NamePreviewer NamePreviews();
    void RestoreDefaults();
    // Asks first, then RestoreDefaults.
    void ConfirmRestoreDefaults();
    void Convert();
    void ShowAbout();
    // The log of the last batch, in a window.
    void ShowBatchLog();

    // The window's size without its frame in logical pixels, for keeping it
    // between runs; a size below the smallest the window allows is raised to
    // that, one beyond the screen it was fitted to is cut to the screen.
    QSize WindowSize() const { return size(); }
    void SetWindowSize(const QSize& size) { resize(size.boundedTo(room_).expandedTo(minimumSize())); }
    // Lays the window out for a screen area of `available` (without window
    // decorations): today's full-width row and size where it fits, otherwise
    // a narrower arrangement that keeps every command on the screen.
    void FitTo(const QSize& available);
    // The size the window is laid out for where the screen has room.
    QSize FullSize() const { return fullSize_; }

    const std::vector<std::string>& filePaths() const { return filePaths_; }
    QTreeWidget* fileList() const { return fileList_; }
    // The radio of a target, or nullptr.
    QRadioButton* targetRadio(int32_t targetFormat) const;
    CTargetButton* convertButton() const { return convertButton_; }
    CTargetButton* engineTuningButton() const { return engineTuningButton_; }
    CTargetButton* restoreDefaultsButton() const { return restoreDefaultsButton_; }
    // "5 done, 1 failed — Show details" after a batch; hidden before the first.
    QLabel* batchSummary() const { return batchSummary_; }
    // The whole batch's bar, shown while a batch runs, and its times.
    QProgressBar* totalBar() const { return totalBar_; }
    QLabel* batchTimes() const { return batchTimes_; }
    // Where the last batch's log is kept: beside zelph.conf.
    QString BatchLogPath() const;
    CConvertProgressDlg& progressWindow() { return progress_; }
    SettingsStore& settings() { return settings_; }
    Preferences& preferences() { return preferences_; }

protected:
    // The close request saves the settings; Escape closes without saving,
    // after asking when settings changed since the window opened.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CachedDescription {
        std::string stamp;  // size and change times when it was probed
        AudioDescription description;
        bool lengthKnown = false;       // read, or not audio
        std::optional<int64_t> length;  // milliseconds, when its headers say
    };

    void BuildMenus(QVBoxLayout* layout);
    QWidget* BuildTargetRow();
    // One row of radios and commands beside them, or stacked in two rows.
    void Arrange(bool narrow);
    void SaveSettings();
    // True when the target, the record or the preferences differ from what
    // the window opened with.
    bool SettingsChanged() const;
    // Whether Escape may close the window; it may save the settings first.
    bool MayDiscardSettings();
    void CheckTargetRadio(int32_t targetFormat);
    // 0 when no radio is checked.
    int32_t CheckedTarget() const;
    void ResizeColumns();
    // The list header's menu: which optional columns show.
    void BuildColumnMenu();
    // The summary line and the log file of the batch that just ended.
    void ShowBatchResult();
    void ShowBatchProgress(int percent);
    const CachedDescription& Describe(const std::string& path, const std::string& stamp);
    void LengthArrived(const LengthReader::Request& request, std::optional<int64_t> length);
    // Asks for the lengths of the rows in sight before the others.
    void PreferVisibleLengths();
    QIcon FileIcon(const QString& path);

    SettingsStore settings_;
    Preferences preferences_;
    ConverterSettings openedRecord_{};
    Preferences openedPreferences_;
    CConvertProgressDlg progress_;
    std::vector<std::string> filePaths_;
    QTreeWidget* fileList_;
    QLabel* batchSummary_;
    QProgressBar* totalBar_;
    QLabel* batchTimes_;
    QElapsedTimer batchClock_;
    int64_t batchAudio_ = 0;  // milliseconds of audio in the running batch
    QAction* reasonColumnAction_ = nullptr;
    std::vector<QRadioButton*> radios_;  // in the order of the target table
    QBoxLayout* targetRowLayout_ = nullptr;
    QSize fullSize_;
    QSize room_;  // the screen's room for the window, from FitTo
    CTargetButton* engineTuningButton_;
    CTargetButton* restoreDefaultsButton_;
    CTargetButton* convertButton_;
    EngineTuningOpener engineTuningOpener_;
    GeneralSettingsOpener generalSettingsOpener_;
    QFileIconProvider iconProvider_;
    std::unordered_map<QString, QIcon> iconsByKind_;
    std::unordered_map<std::string, CachedDescription> descriptions_;
    std::unordered_map<std::string, int> rowOf_;  // each listed path's row
    // Last: it stops, and delivers nothing more, before the rest goes.
    LengthReader lengths_;
};

}  // namespace zelph
