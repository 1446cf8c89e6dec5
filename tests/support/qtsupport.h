#pragma once
// Window tests: a QApplication for the whole test program, on the offscreen
// platform, and ways to act inside a modal window that is running.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace zelph::test {

// Calls `act` with the first modal window of type W once it shows (the
// caller then starts the modal run). The watch ends itself once it acted;
// deleting what it returns ends it before.
template <typename W>
QPointer<QTimer> WhenModalShows(std::function<void(W*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(window);
        }
    });
    poll->start(10);
    return poll;
}

// Notes the text of the next message box in `said` (unless it is null) and
// presses its button captioned `button`, or accepts it when it has none.
inline QPointer<QTimer> AnswerMessageBox(QString* said, const QString& button = {}) {
    return WhenModalShows<QMessageBox>([said, button](QMessageBox* box) {
        if (said) *said = box->text();
        for (QAbstractButton* each : box->buttons())
            if (each->text() == button) {
                each->click();
                return;
            }
        box->accept();
    });
}

}  // namespace zelph::test
