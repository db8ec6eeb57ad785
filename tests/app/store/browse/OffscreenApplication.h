#pragma once
// Screens built in tests that are not screen tests: one offscreen application for the test
// program, made before the first test and gone after the last (before the program's exit, when
// the toolkit can still close what it opened).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace testing_support {

class OffscreenApplication : public ::testing::Environment {
  public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        if (!QApplication::instance())
            application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        runDeferredDeletions();
        application_.reset();
    }
    // The widgets whose deletion was deferred go now.
    static void runDeferredDeletions() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  private:
    int argc_ = 1;
    char name_[13] = "varnel-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

// Registered once per test program; the test framework owns it.
inline ::testing::Environment* const offscreenApplication =
    ::testing::AddGlobalTestEnvironment(std::make_unique<OffscreenApplication>().release());

inline void runDeferredDeletions() {
    OffscreenApplication::runDeferredDeletions();
}

}  // namespace testing_support
