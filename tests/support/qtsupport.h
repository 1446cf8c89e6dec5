#pragma once
// Window tests: a QApplication for the whole test program, on the offscreen
// platform, and a way to act inside a modal window that is running.

#include <QApplication>
#include <QTimer>

#include <functional>

namespace zelph::test {

// Calls `act` with the first modal window of type W once it shows (the
// caller then starts the modal run).
template <typename W>
void WhenModalShows(std::function<void(W*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(window);
        }
    });
    poll->start(10);
}

}  // namespace zelph::test
