#include "app/EndingSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/core/Log.h"

namespace {

// A signal handler is given nothing but the signal's number: the pipe it writes to can only be
// found here. Lock-free atomics are safe to use inside it; the count of handlers at work lets
// the object close the pipe only once none of them can still write to it.
std::atomic<int> signalPipe{-1};
std::atomic<int> handlersAtWork{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onEndingSignal(int signal) {
    const int savedErrno = errno;
    handlersAtWork.fetch_add(1);
    if (const int fd = signalPipe.load(); fd >= 0) {
        const auto number = static_cast<unsigned char>(signal);
        // A full pipe already holds more than enough to end the program.
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    handlersAtWork.fetch_sub(1);
    errno = savedErrno;
}

}  // namespace

EndingSignals::EndingSignals(std::function<void(int signal)> onSignal)
    : onSignal_(std::move(onSignal)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        plat::log(
            plat::format("Cannot watch for signals to end the program: %s", std::strerror(errno)));
        return;
    }
    int none = -1;
    if (!signalPipe.compare_exchange_strong(none, ends[1])) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw std::logic_error("the ending signals are already watched");
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readSignals(); });
    for (const int signal : kSignals) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) != 0)
            continue;
        if (!(before.sa_flags & SA_SIGINFO) && before.sa_handler == SIG_IGN)
            continue;  // ignored by whoever started the program: so it stays
        struct sigaction handling {};
        handling.sa_handler = onEndingSignal;
        sigemptyset(&handling.sa_mask);
        // The threads it interrupts go on with what they were waiting for.
        handling.sa_flags = SA_RESTART;
        if (::sigaction(signal, &handling, nullptr) == 0)
            caught_.push_back({signal, before});
    }
}

EndingSignals::~EndingSignals() {
    for (const Caught& caught : caught_)
        ::sigaction(caught.signal, &caught.before, nullptr);
    notifier_.reset();
    if (writeEnd_ < 0)
        return;
    signalPipe.store(-1);
    // A handler that found the pipe before it was withdrawn is at most one write from done.
    while (handlersAtWork.load() != 0)
        std::this_thread::yield();
    ::close(writeEnd_);
    ::close(readEnd_);
}

bool EndingSignals::catches(int signal) const {
    return std::any_of(caught_.begin(), caught_.end(),
                       [signal](const Caught& caught) { return caught.signal == signal; });
}

void EndingSignals::readSignals() {
    for (unsigned char numbers[64];;) {
        const ssize_t n = ::read(readEnd_, numbers, sizeof numbers);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i)
            onSignal_(numbers[i]);
    }
}
