// The signals that ask the program to end reach the event loop of the thread that watches them,
// whichever thread they interrupt, each once; one ignored when the watch starts stays ignored;
// the dispositions found at the start come back when the watch ends.
#include "app/EndingSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Past this the loop gives up waiting for the signals.
constexpr int kLimitMilliseconds = 30000;

void caughtElsewhere(int) {}

class EndingSignalsTest : public ::testing::Test {
  protected:
    // Runs the event loop until `onSignal` ends it (answers 0) or the limit (answers 1).
    static int runLoop() {
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        limit.start(kLimitMilliseconds);
        return QCoreApplication::exec();
    }

    int argc_ = 1;
    char name_[16] = "ending-signals";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication application_{argc_, argv_};
};

TEST_F(EndingSignalsTest, EachSignalReachesTheWatchingLoopWhicheverThreadItInterrupts) {
    // Whatever this process was started with (a background job of a script starts with SIGINT
    // ignored), each signal is caught here: by default when the watch starts.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    std::vector<struct sigaction> original(EndingSignals::kSignals.size());
    for (size_t i = 0; i < original.size(); ++i)
        ASSERT_EQ(::sigaction(EndingSignals::kSignals[i], &byDefault, &original[i]), 0);
    struct Restore {
        const std::vector<struct sigaction>& original;
        ~Restore() {
            for (size_t i = 0; i < original.size(); ++i)
                ::sigaction(EndingSignals::kSignals[i], &original[i], nullptr);
        }
    } restore{original};
    constexpr int kRounds = 3;
    std::vector<int> received;
    bool allOnLoopThread = true;
    const EndingSignals watch([&](int signal) {
        received.push_back(signal);
        allOnLoopThread = allOnLoopThread && QThread::currentThread() == application_.thread();
        if (received.size() == kRounds * EndingSignals::kSignals.size())
            QCoreApplication::exit(0);
    });
    // Each signal is taken by a thread of its own (raise() directs it at the calling thread),
    // all at once.
    std::vector<std::thread> threads;
    for (int round = 0; round < kRounds; ++round) {
        for (const int signal : EndingSignals::kSignals)
            threads.emplace_back([signal] { ::raise(signal); });
    }
    for (auto& thread : threads)
        thread.join();
    ASSERT_EQ(runLoop(), 0) << "only " << received.size() << " signals arrived";
    EXPECT_TRUE(allOnLoopThread);
    std::vector<int> expected;
    for (int round = 0; round < kRounds; ++round)
        expected.insert(expected.end(), EndingSignals::kSignals.begin(),
                        EndingSignals::kSignals.end());
    std::sort(expected.begin(), expected.end());
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, expected);
}

TEST_F(EndingSignalsTest, ASignalIgnoredAtTheStartStaysIgnoredAndEveryDispositionComesBack) {
    // Each signal with a disposition of its own: ignored, by default, caught elsewhere.
    struct sigaction ignoring {
    }, byDefault{}, elsewhere{};
    ignoring.sa_handler = SIG_IGN;
    byDefault.sa_handler = SIG_DFL;
    elsewhere.sa_handler = caughtElsewhere;
    const std::vector<std::pair<int, struct sigaction>> dispositions = {
        {SIGHUP, ignoring}, {SIGTERM, byDefault}, {SIGINT, elsewhere}};
    std::vector<struct sigaction> original(dispositions.size());
    for (size_t i = 0; i < dispositions.size(); ++i)
        ASSERT_EQ(::sigaction(dispositions[i].first, &dispositions[i].second, &original[i]), 0);
    std::vector<int> received;
    {
        const EndingSignals watch([&](int signal) {
            received.push_back(signal);
            QCoreApplication::exit(0);
        });
        EXPECT_FALSE(watch.catches(SIGHUP));
        EXPECT_TRUE(watch.catches(SIGTERM));
        EXPECT_TRUE(watch.catches(SIGINT));
        EXPECT_THROW(EndingSignals([](int) {}), std::logic_error) << "one watch at a time";
        // Both are handled (or dropped) before raise() returns: a caught SIGHUP would come first.
        ::raise(SIGHUP);
        ::raise(SIGTERM);
        EXPECT_EQ(runLoop(), 0);
        EXPECT_EQ(received, std::vector<int>{SIGTERM});
    }
    for (size_t i = 0; i < dispositions.size(); ++i) {
        struct sigaction now {};
        ::sigaction(dispositions[i].first, &original[i], &now);
        EXPECT_EQ(now.sa_handler, dispositions[i].second.sa_handler)
            << sigabbrev_np(dispositions[i].first);
    }
    // A new watch may start once the last one is over.
    EXPECT_NO_THROW(EndingSignals([](int) {}));
}

}  // namespace
