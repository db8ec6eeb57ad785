#pragma once
// Waiting in the Qt event loop for screen tests.
#include <QApplication>
#include <QElapsedTimer>
#include <functional>

#ifndef VARNEL_TEST_SLOWDOWN
#define VARNEL_TEST_SLOWDOWN 1
#endif

namespace testing_support {

// How many times longer than a plain build the build under test takes for the same work: the
// sanitized builds set it.
inline constexpr int kBuildSlowdown = VARNEL_TEST_SLOWDOWN;

// The bound of a wait that stands for what a member waits for after acting (a screen that
// follows a click, a shelf that follows a sign-out, a turn that starts): what a member accepts,
// given on a plain build, stretched by the build's slowdown. A wait for work that takes as long as
// it takes (a download, a check) is not bounded this way.
inline int memberWait(int plainMilliseconds = 4000) {
    return plainMilliseconds * kBuildSlowdown;
}

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
