#include "app/convertprogressdlg.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QProcess>
#include <QScreen>
#include <QTreeWidget>

#include <mutex>

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
      runner_(nullptr, std::move(engines), *this),
      schedulingTimer_(new QTimer(this)),
      progressTimer_(new QTimer(this)),
      waker_(std::make_shared<EngineWaker>(this)),
      skipButton_(new CTargetButton("Skip This", this)),
      status_(new QLabel("Idle", this)),
      fileName_(new QLabel(this)),
      progressBar_(new QProgressBar(this)) {
    setWindowTitle("Convert Progress");
    setWindowModality(Qt::ApplicationModal);

    skipButton_->setAutoDefault(false);
    skipButton_->SetButtonIcons(":/icons/skip.svg", CTargetButton::kIconLeft);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setMinimumWidth(260);
    // A fixed width: a long name is shortened in the middle rather than
    // making the window jump with every file.
    fileName_->setObjectName("fileName");
    fileName_->setFixedWidth(status_->minimumWidth());
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(skipButton_, 0, 0, 3, 1, Qt::AlignVCenter);
    layout->addWidget(status_, 0, 1);
    layout->addWidget(fileName_, 1, 1);
    layout->addWidget(progressBar_, 2, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    schedulingTimer_->setObjectName("schedulingTimer");
    schedulingTimer_->setInterval(200);
    progressTimer_->setInterval(50);
    connect(schedulingTimer_, &QTimer::timeout, this, &CConvertProgressDlg::SchedulingTick);
    connect(progressTimer_, &QTimer::timeout, this, &CConvertProgressDlg::ShowProgress);
    connect(skipButton_, &QPushButton::clicked, this, &CConvertProgressDlg::SkipThis);
    // The next job starts the moment an engine ends; the 200 ms tick stays
    // as the fallback.
    runner_.endSignal()->SetCallback([waker = waker_] { waker->Wake(); });
}

CConvertProgressDlg::~CConvertProgressDlg() {
    waker_->Detach();
    runner_.endSignal()->SetCallback(nullptr);
}

QString CConvertProgressDlg::statusText() const { return status_->text(); }

QString CConvertProgressDlg::fileNameText() const { return fileName_->toolTip().section('/', -1); }

int CConvertProgressDlg::exec() {
    status_->clear();
    fileName_->clear();
    fileName_->setToolTip({});
    outcomes_.clear();
    progressBar_->setValue(0);
    skipButton_->setEnabled(true);
    if (!runner_.Open()) {
        QMessageBox::information(parentWidget(), "Zelph Audio Converter", kNoJobsText);
        return Accepted;
    }
    StartTimers();
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    return QDialog::exec();
}

void CConvertProgressDlg::RowStatus(int row, const std::string& text) {
    outcomes_[row] = text;
    if (!fileList_ || row < 0 || row >= fileList_->topLevelItemCount()) return;
    fileList_->topLevelItem(row)->setText(kStatusColumn, QString::fromStdString(text));
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

void CConvertProgressDlg::ShowCurrentFile() {
    const int row = runner_.currentFileIndex;
    if (row < 0 || row >= static_cast<int>(plannedFiles_.size())) return;
    const QString path = QString::fromStdString(plannedFiles_[row]);
    if (fileName_->toolTip() == path) return;
    fileName_->setToolTip(path);
    const QString name = path.section('/', -1);
    fileName_->setText(fileName_->fontMetrics().elidedText(name, Qt::ElideMiddle, fileName_->width()));
}

void CConvertProgressDlg::NoticeIfUnwatched() {
    if (isActiveWindow()) return;
    int converted = 0, failed = 0, cancelled = 0;
    for (const auto& [row, outcome] : outcomes_) {
        if (outcome == kRowDone) ++converted;
        else if (outcome == kRowError) ++failed;
        else if (outcome == kRowCancelled) ++cancelled;
    }
    // Without notify-send or a notification service the notice is simply lost.
    QProcess::startDetached("notify-send", {"--app-name=Zelph Audio Converter", "--icon=zelph",
                                            "Zelph Audio Converter", BatchSummary(converted, failed, cancelled)});
}

void CConvertProgressDlg::ShowProgress() { progressBar_->setValue(runner_.progress()); }

void CConvertProgressDlg::FinishIfDone() {
    if (!runner_.finished()) return;
    StopTimers();
    NoticeIfUnwatched();
    accept();
}

void CConvertProgressDlg::SkipThis() {
    skipButton_->setEnabled(false);
    StopTimers();
    runner_.SkipThis();
    if (runner_.finished()) {
        FinishIfDone();
        return;
    }
    progressBar_->setValue(0);
    StartTimers();
    skipButton_->setEnabled(true);
}

void CConvertProgressDlg::reject() {
    if (!runner_.finished()) {
        skipButton_->setEnabled(false);
        StopTimers();
        runner_.CloseRequest();
    }
    QDialog::reject();
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
