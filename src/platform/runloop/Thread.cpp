#include "platform/runloop/Thread.h"

#include <pthread.h>

#include <atomic>
#include <future>
#include <limits>
#include <tuple>

#include "platform/core/Exception.h"
#include "platform/core/Log.h"

namespace plat {

namespace {

thread_local std::string tlsThreadName;

}  // namespace

struct Thread::Control {
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
};

Thread::Thread(std::string name) : name_(std::move(name)), control_(std::make_shared<Control>()) {}

Thread::~Thread() {
    stop();
    // Destroyed on its own thread: the thread finishes on its own.
    if (thread_.joinable())
        thread_.detach();
}

void Thread::start() {
    if (loop_)
        return;
    std::promise<std::pair<std::shared_ptr<RunLoop>, std::thread::id>> ready;
    auto started = ready.get_future();
    control_->running = true;
    thread_ = std::thread([control = control_, name = name_, ready = std::move(ready)]() mutable {
        setCurrentName(name);
        RunLoop& loop = RunLoop::current();
        ready.set_value({loop.shared_from_this(), std::this_thread::get_id()});
        while (!control->stopRequested) {
            try {
                const auto result =
                    loop.runMode(kDefaultRunLoopMode, std::numeric_limits<double>::infinity());
                if (result == RunLoop::RunResult::Finished)
                    break;
            } catch (const std::exception& e) {
                log(format("Uncaught exception on thread \"%s\": %s", name.c_str(), e.what()));
            }
        }
        control->running = false;
    });
    std::tie(loop_, threadId_) = started.get();
}

void Thread::stop() {
    if (!loop_)
        return;
    control_->stopRequested = true;
    loop_->stop();
    if (isCurrent() || !thread_.joinable())
        return;
    thread_.join();
}

bool Thread::isRunning() const {
    return control_->running;
}

bool Thread::isCurrent() const {
    return loop_ && std::this_thread::get_id() == threadId_;
}

RunLoop& Thread::runLoop() const {
    if (!loop_)
        raise(NSInternalInconsistencyException, "Thread \"" + name_ + "\" was not started");
    return *loop_;
}

bool Thread::performOnThread(std::function<void()> fn, bool waitUntilDone, Modes modes) {
    return plat::performOnThread(runLoop(), std::move(fn), waitUntilDone, std::move(modes));
}

std::string Thread::currentName() {
    if (RunLoop::isMainThread() && tlsThreadName.empty())
        return "main";
    return tlsThreadName;
}

void Thread::setCurrentName(const std::string& name) {
    tlsThreadName = name;
    // The system keeps at most 15 bytes of a thread's name.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

void Thread::detachNew(std::function<void()> fn, std::string name) {
    if (!fn)
        return;
    std::thread([fn = std::move(fn), name = std::move(name)] {
        if (!name.empty())
            setCurrentName(name);
        ReleasePool pool;
        try {
            fn();
        } catch (const std::exception& e) {
            log(format("Uncaught exception on a detached thread: %s", e.what()));
        }
    }).detach();
}

bool performOnThread(RunLoop& loop, std::function<void()> fn, bool waitUntilDone, Modes modes) {
    if (waitUntilDone)
        return loop.performAndWait(std::move(fn), std::move(modes));
    return loop.tryPost(std::move(fn), std::move(modes));
}

bool performOnThread(Thread& thread, std::function<void()> fn, bool waitUntilDone, Modes modes) {
    return thread.performOnThread(std::move(fn), waitUntilDone, std::move(modes));
}

bool performOnMainThread(std::function<void()> fn, bool waitUntilDone, Modes modes) {
    return performOnThread(RunLoop::main(), std::move(fn), waitUntilDone, std::move(modes));
}

}  // namespace plat
