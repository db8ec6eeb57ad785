#pragma once
// plat::NetworkThread (internal to the networking layer): the one process-wide I/O thread. It owns
// a libcurl multi handle, runs every transfer on it, and ends a transfer that stays idle (no
// bytes either way, connecting included) for longer than its time-out. Transfers are handed over
// and withdrawn from any thread.
#include <curl/curl.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/core/Ref.h"

namespace plat {

// One easy handle that the network thread drives. All but handle() run on the network thread.
class NetworkTransfer {
  public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    virtual ~NetworkTransfer() = default;
    virtual CURL* handle() const = 0;
    virtual void begin(SteadyTime now) = 0;
    // When the transfer times out unless something happens before; the far future for never.
    virtual SteadyTime idleDeadline() const = 0;
    virtual void complete(CURLcode result) = 0;
    virtual void timeOut() = 0;
    // Takes up a paused transfer again.
    virtual void resume(SteadyTime now) = 0;
    // Once per pass of the I/O loop, after libcurl moved what the sockets had (a transfer may
    // hand over what it gathered in that pass at once here).
    virtual void afterPerform() {}
    // The I/O thread is ending with the transfer unfinished: it lets go of whatever it reports
    // to, which may be what keeps it (a connection waiting for its reply at the program's end).
    virtual void abandon() {}
};

class NetworkThread {
  public:
    static NetworkThread& shared();

    // Starts the transfer on the I/O thread.
    void add(Ref<NetworkTransfer> transfer);
    // Stops the transfer if it is still running; it reports nothing more once its listener is
    // detached.
    void remove(Ref<NetworkTransfer> transfer);
    // Takes up a transfer that paused because its loop fell behind.
    void resume(Ref<NetworkTransfer> transfer);

    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;
    ~NetworkThread();

  private:
    NetworkThread();
    void run();
    enum class Action { Add, Remove, Resume };
    void send(Action action, Ref<NetworkTransfer> transfer);

    struct Command {
        Action action;
        Ref<NetworkTransfer> transfer;
    };

    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::vector<Command> commands_;
    bool stopping_ = false;
    // I/O thread only.
    std::unordered_map<CURL*, Ref<NetworkTransfer>> running_;
    std::thread thread_;
};

}  // namespace plat
