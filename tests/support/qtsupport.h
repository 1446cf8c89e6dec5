#pragma once
// Window tests: a QApplication for the whole test program, on the offscreen
// platform, and a way to act inside a modal window that is running.

#include <QApplication>
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

}  // namespace zelph::test
