#pragma once
// plat::NetworkThread (internal to the networking layer): the one process-wide I/O thread. It owns
// a libcurl multi handle, runs every transfer on it, and ends a transfer that stays idle (no
// bytes either way, connecting included) for longer than its time-out. Transfers are handed over
// and withdrawn from any thread.
#include <curl/curl.h>

#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/core/Ref.h"

namespace plat {

class CurlTransfer;

class NetworkThread {
  public:
    static NetworkThread& shared();

    // Starts the transfer on the I/O thread.
    void add(Ref<CurlTransfer> transfer);
    // Stops the transfer if it is still running; it reports nothing more once its listener is
    // detached.
    void remove(Ref<CurlTransfer> transfer);
    // Takes up a transfer that paused because its loop fell behind.
    void resume(Ref<CurlTransfer> transfer);

    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;
    ~NetworkThread();

  private:
    NetworkThread();
    void run();
    enum class Action { Add, Remove, Resume };
    void send(Action action, Ref<CurlTransfer> transfer);

    struct Command {
        Action action;
        Ref<CurlTransfer> transfer;
    };

    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::vector<Command> commands_;
    bool stopping_ = false;
    // I/O thread only.
    std::unordered_map<CURL*, Ref<CurlTransfer>> running_;
    std::thread thread_;
};

}  // namespace plat
