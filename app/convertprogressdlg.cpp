#include "app/convertprogressdlg.h"

#include <utility>

#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>

#include "ui/uiresources.h"
#include "ui/xtargetbutton.h"

namespace zelph {

// Engine threads call Wake() as their last act. The window may be gone by
// then, so it is reached only through this object, which the window detaches
// before it dies; a queued call to a window deleted meanwhile is dropped by Qt.
class EngineWaker {
public:
    explicit EngineWaker(CConvertProgressDlg* window) : window_(window) {}

    void Wake() {
        std::lock_guard lock(mutex_);
        if (!window_) return;
        QMetaObject::invokeMethod(window_, [window = window_] { window->SchedulingTick(); },
                                  Qt::QueuedConnection);
    }

    void Detach() {
        std::lock_guard lock(mutex_);
        window_ = nullptr;
    }

private:
    std::mutex mutex_;
    CConvertProgressDlg* window_;
};

namespace {

// "12 files converted, 1 failed": what the end-of-batch notice says.
QString BatchSummary(int converted, int failed, int cancelled) {
    QString text = QString::number(converted) + (converted == 1 ? " file converted" : " files converted");
    if (failed) text += ", " + QString::number(failed) + " failed";
    if (cancelled) text += ", " + QString::number(cancelled) + " cancelled";
    return text;
}

}  // namespace

CConvertProgressDlg::CConvertProgressDlg(QWidget* parent, EngineTable engines)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      runner_(std::move(engines), *this),
      schedulingTimer_(new QTimer(this)),
      progressTimer_(new QTimer(this)),
      waker_(std::make_shared<EngineWaker>(this)),
      skipButton_(new CTargetButton("Skip This", this)),
      cancelButton_(new CTargetButton("Cancel", this)),
      status_(new QLabel("Idle", this)),
      fileName_(new QLabel(this)),
      progressBar_(new QProgressBar(this)),
      runningList_(new QTreeWidget(this)) {
    setWindowTitle("Convert Progress");
    setWindowModality(Qt::ApplicationModal);

    skipButton_->setAutoDefault(false);
    skipButton_->SetButtonIcons(":/icons/skip.svg", CTargetButton::kIconLeft);
    cancelButton_->setAutoDefault(false);
    cancelButton_->SetButtonIcons(":/icons/cancel.svg", CTargetButton::kIconLeft);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setMinimumWidth(260);
    // A fixed width: a long name is shortened in the middle rather than
    // making the window jump with every file.
    fileName_->setObjectName("fileName");
    fileName_->setFixedWidth(status_->minimumWidth());
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);

    runningList_->setColumnCount(2);
    runningList_->setHeaderLabels({"File", "Progress"});
    runningList_->setRootIsDecorated(false);
    runningList_->setSelectionMode(QAbstractItemView::SingleSelection);
    runningList_->setMinimumHeight(90);
    // The names take what the bars leave; a bar is never cut.
    runningList_->header()->setStretchLastSection(false);
    runningList_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    runningList_->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    runningList_->setColumnWidth(1, 140);
    runningList_->setMinimumWidth(360);

    // Resizable: the list of running files takes the room.
    auto* commands = new QVBoxLayout;
    commands->addWidget(skipButton_);
    commands->addWidget(cancelButton_);
    auto* layout = new QGridLayout(this);
    layout->addLayout(commands, 0, 0, 3, 1, Qt::AlignVCenter);
    layout->addWidget(status_, 0, 1);
    layout->addWidget(fileName_, 1, 1);
    layout->addWidget(progressBar_, 2, 1);
    layout->addWidget(runningList_, 3, 0, 1, 2);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(1, 1);

    schedulingTimer_->setObjectName("schedulingTimer");
    schedulingTimer_->setInterval(200);
    progressTimer_->setInterval(50);
    connect(schedulingTimer_, &QTimer::timeout, this, &CConvertProgressDlg::SchedulingTick);
    connect(progressTimer_, &QTimer::timeout, this, &CConvertProgressDlg::ShowProgress);
    connect(skipButton_, &QPushButton::clicked, this, &CConvertProgressDlg::SkipThis);
    connect(cancelButton_, &QPushButton::clicked, this, &CConvertProgressDlg::reject);
    // The next job starts the moment an engine ends; the 200 ms tick stays
    // as the fallback.
    runner_.endSignal().SetCallback([waker = waker_] { waker->Wake(); });
}

CConvertProgressDlg::~CConvertProgressDlg() {
    waker_->Detach();
    runner_.endSignal().SetCallback(nullptr);
}

QString CConvertProgressDlg::statusText() const { return status_->text(); }

QString CConvertProgressDlg::fileNameText() const { return fileName_->toolTip().section('/', -1); }

int CConvertProgressDlg::exec() {
    status_->clear();
    fileName_->clear();
    fileName_->setToolTip({});
    log_.Start(files_);
    progressBar_->setValue(0);
    runningList_->clear();
    skipButton_->setEnabled(true);
    cancelButton_->setEnabled(true);
    closing_ = false;
    plannedFiles_ = plan_.files.size();
    const RunOptions options{.afterOperation = settings_->general.afterOperation,
                             .existingFileAction = settings_->general.existingFileAction,
                             .filesAtOnce = preferences_ ? FilesAtOnce(*preferences_) : 1,
                             .copyTags = !preferences_ || preferences_->Get(kCopyTags) != 0,
                             .verify = preferences_ && preferences_->Get(kVerify) != 0,
                             .loudness = preferences_ ? static_cast<LoudnessMode>(preferences_->Get(kLoudness))
                                                      : LoudnessMode::kOff,
                             .truePeak = preferences_ && preferences_->Get(kTruePeak) != 0,
                             .ledger = &ledger_,
                             .hashSources = preferences_ && preferences_->Get(kUpdate) != 0,
                             .deleteOrphans = preferences_ && preferences_->Get(kDeleteOrphans) != 0,
                             .copyFolderImages = preferences_ && preferences_->Get(kCopyFolderImages) != 0};
    // Names that would meet, or a file outside the kept tree, stop the batch
    // before it starts, with the reason.
    const QString refused = QString::fromStdString(plan_.error);
    if (!runner_.Open(std::exchange(plan_, {}), options)) {
        QMessageBox::information(parentWidget(), "Zelph Audio Converter", refused.isEmpty() ? kNoJobsText : refused);
        return Accepted;
    }
    // Every file failed before any engine ran (an output folder that
    // cannot be written): the rows say so; there is nothing to watch.
    if (runner_.finished()) return Accepted;
    StartTimers();
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    return QDialog::exec();
}

void CConvertProgressDlg::RowStatus(uint32_t row, const std::string& text, const std::string& reason) {
    log_.Outcome(row, text, reason);
    if (!fileList_ || row >= static_cast<uint32_t>(fileList_->topLevelItemCount())) return;
    QTreeWidgetItem* item = fileList_->topLevelItem(static_cast<int>(row));
    item->setText(kStatusColumn, QString::fromStdString(text));
    item->setText(kProgressColumn, {});
    // A failure stands out by its icon and colour, in a light or dark palette.
    const bool failed = text == kRowError;
    item->setIcon(kStatusColumn, failed ? fileList_->style()->standardIcon(QStyle::SP_MessageBoxCritical) : QIcon());
    for (int column : {kStatusColumn, kReasonColumn})
        item->setForeground(column, failed ? QBrush(FailureColour(fileList_->palette()))
                                           : fileList_->palette().brush(QPalette::Text));
    ShowDetails(row);
}

void CConvertProgressDlg::ShowDetails(uint32_t row) {
    if (!fileList_ || row >= static_cast<uint32_t>(fileList_->topLevelItemCount())) return;
    QTreeWidgetItem* item = fileList_->topLevelItem(static_cast<int>(row));
    const QStringList details = log_.Details(row);
    item->setToolTip(kStatusColumn, details.join('\n'));
    item->setText(kReasonColumn, details.join("; "));
    item->setToolTip(kReasonColumn, details.join('\n'));
}

void CConvertProgressDlg::SourceKept(uint32_t row, const std::string& reason) {
    log_.Note(row, QString::fromStdString("The source was kept: " + reason));
    ShowDetails(row);
}

// The row keeps its one-word outcome; the tag fields its output could not
// take join the reason in its details.
void CConvertProgressDlg::TagsCopied(uint32_t row, const TagCopyReport& report) {
    log_.ClearNotes(row);
    for (const std::string& field : report.dropped) log_.Note(row, "dropped: " + QString::fromStdString(field));
}

void CConvertProgressDlg::StatusText(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

void CConvertProgressDlg::StartTimers() {
    schedulingTimer_->start();
    progressTimer_->start();
}

void CConvertProgressDlg::StopTimers() {
    schedulingTimer_->stop();
    progressTimer_->stop();
}

void CConvertProgressDlg::SchedulingTick() {
    if (runner_.finished()) return;
    runner_.Tick();
    ShowCurrentFile();
    FinishIfDone();
}

void CConvertProgressDlg::ShowProgress() {
    progressBar_->setValue(runner_.progress());
    ShowRunningFiles();
}

int CConvertProgressDlg::BatchPercent(const std::vector<RunningFile>& running) const {
    if (plannedFiles_ == 0) return 100;
    int64_t parts = 100LL * (log_.Count(kRowDone) + log_.Count(kRowError) + log_.Count(kRowCancelled));
    for (const RunningFile& file : running) parts += file.progress;
    return static_cast<int>(std::min<int64_t>(100, parts / static_cast<int64_t>(plannedFiles_)));
}

// The list follows the running files; a line keeps its selection while its
// file runs.
void CConvertProgressDlg::ShowRunningFiles() {
    const std::vector<RunningFile> files = runner_.runningFiles();
    for (int i = runningList_->topLevelItemCount() - 1; i >= 0; --i) {
        const uint32_t row = runningList_->topLevelItem(i)->data(0, Qt::UserRole).toUInt();
        if (std::none_of(files.begin(), files.end(), [&](const RunningFile& f) { return f.row == row; }))
            delete runningList_->takeTopLevelItem(i);
    }
    for (const RunningFile& file : files) {
        QTreeWidgetItem* item = nullptr;
        for (int i = 0; i < runningList_->topLevelItemCount() && !item; ++i)
            if (runningList_->topLevelItem(i)->data(0, Qt::UserRole).toUInt() == file.row)
                item = runningList_->topLevelItem(i);
        if (!item) {
            item = new QTreeWidgetItem(runningList_);
            item->setData(0, Qt::UserRole, file.row);
            item->setText(0, QFileInfo(QString::fromStdString(file.source)).fileName());
            item->setToolTip(0, QString::fromStdString(file.source));
            auto* bar = new QProgressBar(runningList_);
            bar->setRange(0, 100);
            bar->setTextVisible(false);
            runningList_->setItemWidget(item, 1, bar);
        }
        static_cast<QProgressBar*>(runningList_->itemWidget(item, 1))->setValue(file.progress);
        if (fileList_ && file.row < static_cast<uint32_t>(fileList_->topLevelItemCount()))
            fileList_->topLevelItem(static_cast<int>(file.row))
                ->setText(kProgressColumn, QString::number(file.progress) + " %");
    }
    emit batchProgress(BatchPercent(files));
}

// The oldest running file's name under "Converting File N of M", shortened
// in the middle when it is long; the whole path is its tool tip.
void CConvertProgressDlg::ShowCurrentFile() {
    const std::vector<RunningFile> files = runner_.runningFiles();
    if (files.empty()) return;
    const QString path = QString::fromStdString(files.front().source);
    if (fileName_->toolTip() == path) return;
    fileName_->setToolTip(path);
    const QString name = path.section('/', -1);
    fileName_->setText(fileName_->fontMetrics().elidedText(name, Qt::ElideMiddle, fileName_->width()));
}
void CConvertProgressDlg::NoticeIfUnwatched() {
    if (isActiveWindow()) return;
    // Without notify-send or a notification service the notice is simply lost.
    QProcess::startDetached("notify-send", {"--app-name=Zelph Audio Converter", "--icon=zelph", "Zelph Audio Converter",
                                            BatchSummary(log_.Count(kRowDone), log_.Count(kRowError),
                                                         log_.Count(kRowCancelled))});
}

void CConvertProgressDlg::FinishIfDone() {
    if (!runner_.finished()) return;
    StopTimers();
    NoticeIfUnwatched();
    if (closing_)
        QDialog::reject();
    else
        accept();
}

// Skips the file chosen in the list of running files, or the oldest. The
// engine is asked to stop; the row says "Cancelled" once it has.
void CConvertProgressDlg::SkipThis() {
    const QTreeWidgetItem* chosen = runningList_->currentItem();
    if (chosen && chosen->isSelected())
        runner_.SkipFile(chosen->data(0, Qt::UserRole).toUInt());
    else
        runner_.SkipThis();
    SchedulingTick();
}

// Escape and the close box stop every engine; the window closes once they
// have all stopped, without ever waiting on this thread.
void CConvertProgressDlg::reject() {
    if (runner_.finished()) {
        QDialog::reject();
        return;
    }
    closing_ = true;
    skipButton_->setEnabled(false);
    cancelButton_->setEnabled(false);
    runner_.CloseRequest();
    FinishIfDone();
}

void CConvertProgressDlg::keyPressEvent(QKeyEvent* event) {
    // Enter is not a command here: it must not end the run by accident.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace zelph
