#pragma once
// Waiting in the Qt event loop for screen tests.
#include <QApplication>
#include <QElapsedTimer>
#include <functional>

namespace testing_support {

// Runs the event loop until the predicate holds (true) or the time is up (false). The default
// bound is generous: a wait ends as soon as its condition holds, and a sanitized build on a busy
// machine may take many seconds to draw, fetch or check what a quiet one does at once.
inline bool spinUntil(const std::function<bool()>& predicate, int milliseconds = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs the event loop for a while.
inline void spin(int milliseconds = 30) {
    spinUntil([] { return false; }, milliseconds);
}

}  // namespace testing_support
