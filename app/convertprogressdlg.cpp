#include "app/convertprogressdlg.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
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

CConvertProgressDlg::CConvertProgressDlg(QWidget* parent, EngineTable engines)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      runner_(nullptr, std::move(engines), *this),
      schedulingTimer_(new QTimer(this)),
      progressTimer_(new QTimer(this)),
      waker_(std::make_shared<EngineWaker>(this)),
      skipButton_(new CTargetButton("Skip This", this)),
      status_(new QLabel("Idle", this)),
      progressBar_(new QProgressBar(this)) {
    setWindowTitle("Convert Progress");
    setWindowModality(Qt::ApplicationModal);

    skipButton_->setAutoDefault(false);
    skipButton_->SetButtonIcons(":/icons/skip.svg", CTargetButton::kIconLeft);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setMinimumWidth(260);
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(skipButton_, 0, 0, 2, 1, Qt::AlignVCenter);
    layout->addWidget(status_, 0, 1);
    layout->addWidget(progressBar_, 1, 1);
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

int CConvertProgressDlg::exec() {
    status_->clear();
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
    if (!fileList_ || row < 0 || row >= fileList_->topLevelItemCount()) return;
    fileList_->topLevelItem(row)->setText(kStatusColumn, QString::fromStdString(text));
}

void CConvertProgressDlg::TagsCopied(int row, const TagCopyReport& report) {
    if (!fileList_ || row < 0 || row >= fileList_->topLevelItemCount()) return;
    // The row keeps its one-word outcome; what happened to the tags is its tip.
    QStringList lines;
    if (!report.error.empty()) lines << "Tags not written: " + QString::fromStdString(report.error);
    for (const std::string& field : report.dropped) lines << "dropped: " + QString::fromStdString(field);
    fileList_->topLevelItem(row)->setToolTip(kStatusColumn, lines.join('\n'));
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
    FinishIfDone();
}

void CConvertProgressDlg::ShowProgress() { progressBar_->setValue(runner_.progress()); }

void CConvertProgressDlg::FinishIfDone() {
    if (!runner_.finished()) return;
    StopTimers();
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
