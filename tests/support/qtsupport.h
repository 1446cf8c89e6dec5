#pragma once
// Window tests: a QApplication for the whole test program, on the offscreen
// platform, ways to find a control by its caption, and ways to act inside a
// modal window that is running.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace zelph::test {

// The first control (or action) of type W in `window` captioned `text`.
template <typename W = QAbstractButton>
W* Find(QWidget* window, const QString& text) {
    for (W* each : window->findChildren<W*>())
        if (each->text() == text) return each;
    ADD_FAILURE() << "no control \"" << text.toStdString() << "\"";
    return nullptr;
}

// What a user's click on the button captioned `text` does.
inline void Press(QWidget* window, const QString& text) { Find(window, text)->click(); }

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
