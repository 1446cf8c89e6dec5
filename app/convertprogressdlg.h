#pragma once
// The "Convert Progress" window: runs the planned queue with a status line,
// a progress bar and "Skip This", and writes each file's outcome into the
// status column of the main window's file list.

#include <QDialog>
#include <QTimer>

#include <memory>

#include "core/engines.h"
#include "core/runner.h"

class QLabel;
class QProgressBar;
class QTreeWidget;

namespace zelph {

class CTargetButton;
class EngineWaker;

inline constexpr const char* kNoJobsText = "No Jobs In Queue...";
inline constexpr int kStatusColumn = 3;

class CConvertProgressDlg : public QDialog, private RunnerListener {
    Q_OBJECT
public:
    explicit CConvertProgressDlg(QWidget* parent = nullptr, EngineTable engines = StandardEngines());
    ~CConvertProgressDlg() override;

    // Given once by the main window; neither is owned.
    void SetSettings(ConverterSettings* settings) { runner_.settings = settings; }
    void SetFileList(QTreeWidget* fileList) { fileList_ = fileList; }
    void SetRunOptions(const RunOptions& options) { runner_.options = options; }

    void PlanJobs(const std::string& engineId, const std::vector<std::string>& files) {
        runner_.PlanJobs(engineId, files);
    }

    // Runs the planned queue to its end; says "No Jobs In Queue..." instead
    // when nothing was planned.
    int exec() override;

    const JobRunner& runner() const { return runner_; }
    CTargetButton* skipButton() const { return skipButton_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QString statusText() const;

public slots:
    // Escape and the close box end the run: every file left is cancelled.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RowStatus(int row, const std::string& text) override;
    void StatusText(const std::string& text) override;
    void TagsCopied(int row, const TagCopyReport& report) override;

    friend class EngineWaker;
    void SchedulingTick();
    void ShowProgress();
    void SkipThis();
    void StartTimers();
    void StopTimers();
    void FinishIfDone();

    JobRunner runner_;
    QTreeWidget* fileList_ = nullptr;
    QTimer* schedulingTimer_;  // 200 ms: starts the next job when none runs
    QTimer* progressTimer_;    // 50 ms: the bar follows the engine
    std::shared_ptr<EngineWaker> waker_;
    CTargetButton* skipButton_;
    QLabel* status_;
    QProgressBar* progressBar_;
};

}  // namespace zelph
