#pragma once
// The "Convert Progress" window: runs the planned queue with a status line,
// a progress bar and "Skip This", and writes each file's outcome into the
// status column of the main window's file list.

#include <QDialog>
#include <QTimer>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/batchlog.h"
#include "codecs/engines.h"
#include "core/runner.h"
#include "core/targets.h"
#include "settings/preferences.h"
#include "settings/tuning.h"

class QLabel;
class QProgressBar;
class QTreeWidget;

namespace zelph {

class CTargetButton;
class EngineWaker;

inline constexpr const char* kNoJobsText = "No Jobs In Queue...";
inline constexpr int kStatusColumn = 3;
// Why a file failed, and what its output could not take.
inline constexpr int kReasonColumn = 4;
// How far a running file has come, while it runs.
inline constexpr int kProgressColumn = 5;

class CConvertProgressDlg : public QDialog, private RunnerListener {
    Q_OBJECT
public:
    explicit CConvertProgressDlg(QWidget* parent = nullptr, EngineTable engines = StandardEngines());
    ~CConvertProgressDlg() override;

    // Given once by the main window; neither is owned.
    void SetSettings(const ConverterSettings* settings) { settings_ = settings; }
    void SetPreferences(const Preferences* preferences) { preferences_ = preferences; }
    void SetFileList(QTreeWidget* fileList) { fileList_ = fileList; }

    void PlanJobs(int32_t targetFormat, const std::vector<std::string>& files) {
        tuning_ = preferences_ ? TuningFrom(*preferences_) : TargetTuning{};
        // What earlier runs made is read again for every batch.
        ledger_ = OutputLedger();
        if (settings_->general.outputFolderMode == OutputFolderMode::kInFolder)
            ledger_.Load(OutputFolderOf(settings_->general));
        plan_ = zelph::PlanJobs(*settings_, tuning_, targetFormat, files,
                                preferences_ ? OutputNamingFrom(*preferences_) : OutputNaming{},
                                preferences_ ? LibraryChoicesFrom(*preferences_, &ledger_) : LibraryChoices{});
        files_ = files;
    }

    // Runs the planned queue to its end; says "No Jobs In Queue..." instead
    // when nothing was planned.
    int exec() override;

    const JobRunner& runner() const { return runner_; }
    // What happened to each file of the last run.
    const BatchLog& log() const { return log_; }
    CTargetButton* skipButton() const { return skipButton_; }
    // Cancels every file left, as Escape does.
    CTargetButton* cancelButton() const { return cancelButton_; }
    QProgressBar* progressBar() const { return progressBar_; }
    // One line per running file: its name and its own bar.
    QTreeWidget* runningList() const { return runningList_; }
    QString statusText() const;
    // The name of the file being converted, shown under the status line.
    QString fileNameText() const;

signals:
    // The whole batch's progress, 0-100, while it runs.
    void batchProgress(int percent);

public slots:
    // Escape and the close box end the run: every file left is cancelled.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RowStatus(uint32_t row, const std::string& text, const std::string& reason) override;
    void SourceKept(uint32_t row, const std::string& reason) override;
    void StatusText(const std::string& text) override;
    void TagsCopied(uint32_t row, const TagCopyReport& report) override;
    void OutputRemoved(const std::string& path) override { log_.Removed(path); }
    void Notice(const std::string& text) override { log_.Notice(text); }

    friend class EngineWaker;
    void SchedulingTick();
    void ShowProgress();
    void SkipThis();
    void StartTimers();
    void StopTimers();
    void FinishIfDone();
    void ShowCurrentFile();
    void ShowRunningFiles();
    // Percent of the planned files done, running ones in part.
    int BatchPercent(const std::vector<RunningFile>& running) const;
    // The row's tip and reason cell from the log, and its outcome's look.
    void ShowDetails(uint32_t row);
    // Tells the desktop how the batch went when nobody is watching the window.
    void NoticeIfUnwatched();

    const ConverterSettings* settings_ = nullptr;
    const Preferences* preferences_ = nullptr;
    TargetTuning tuning_;  // read at planning; the planned jobs point into it
    BatchPlan plan_;
    OutputLedger ledger_;  // of the batch planned, and written by its run
    JobRunner runner_;
    QTreeWidget* fileList_ = nullptr;
    QTimer* schedulingTimer_;  // 200 ms: starts the next job when none runs
    QTimer* progressTimer_;    // 50 ms: the bar follows the engine
    std::shared_ptr<EngineWaker> waker_;
    CTargetButton* skipButton_;
    CTargetButton* cancelButton_;
    std::size_t plannedFiles_ = 0;
    QLabel* status_;
    QLabel* fileName_;
    std::vector<std::string> files_;  // as planned, by row
    BatchLog log_;
    QProgressBar* progressBar_;
    QTreeWidget* runningList_;
    bool closing_ = false;
};

}  // namespace zelph
