#pragma once
// plat::Thread: a thread with its own run loop, which runs in the default mode until the thread is
// stopped. Cross-thread performs: performOnThread (onto a loop or a thread) and
// performOnMainThread, either queued or waited for (a waited-for call made on the target thread
// itself runs at once). Also the calling thread's name, and fire-and-forget detached threads.
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/runloop/RunLoop.h"

namespace plat {

class Thread {
  public:
    explicit Thread(std::string name = {});
    // Stops and joins the thread.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the thread; returns once its run loop exists. Does nothing when already started.
    void start();
    // Makes the thread's loop return and, unless called on the thread itself, waits for the
    // thread to end. Work still queued on the loop is dropped.
    void stop();
    bool isRunning() const;
    // True on the thread itself.
    bool isCurrent() const;
    const std::string& name() const { return name_; }
    // The thread's loop; NSInternalInconsistencyException before start(). The loop object stays
    // valid for the life of this Thread object.
    RunLoop& runLoop() const;

    // Runs fn on this thread's loop (see plat::performOnThread).
    bool performOnThread(std::function<void()> fn, bool waitUntilDone, Modes modes = commonModes());

    // The calling thread's name (as set by setCurrentName or by plat::Thread); empty when unset.
    static std::string currentName();
    static void setCurrentName(const std::string& name);
    // Runs fn on a new detached thread (inside a release pool).
    static void detachNew(std::function<void()> fn, std::string name = {});

  private:
    struct Control;  // shared with the running thread, which may outlive this object
    std::string name_;
    std::thread thread_;
    std::shared_ptr<RunLoop> loop_;
    std::shared_ptr<Control> control_;
    std::thread::id threadId_;
};

// Runs fn on the loop's thread in the modes. Without waiting it is queued (never run inside this
// call). With waitUntilDone the caller blocks until fn has run; on the loop's own thread fn runs at
// once. Answers false when the loop's thread has ended and fn was dropped.
bool performOnThread(RunLoop& loop, std::function<void()> fn, bool waitUntilDone,
                     Modes modes = commonModes());
bool performOnThread(Thread& thread, std::function<void()> fn, bool waitUntilDone,
                     Modes modes = commonModes());
bool performOnMainThread(std::function<void()> fn, bool waitUntilDone, Modes modes = commonModes());

}  // namespace plat
