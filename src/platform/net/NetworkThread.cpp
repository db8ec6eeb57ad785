#include "platform/net/NetworkThread.h"

#include <algorithm>
#include <chrono>

#include "platform/net/HttpCookieStorage.h"

namespace plat {
namespace {

// The longest the thread sleeps without looking at idle deadlines again.
constexpr long kLongestWaitMs = 1000;

}  // namespace

NetworkThread& NetworkThread::shared() {
    static NetworkThread thread;
    return thread;
}

NetworkThread::NetworkThread() {
    // Made first, the shared cookie store outlives this thread, which stores into it.
    HttpCookieStorage::shared();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    thread_ = std::thread([this] { run(); });
}

NetworkThread::~NetworkThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(multi_);
    if (thread_.joinable())
        thread_.join();
    // Transfers handed over too late to start.
    for (const auto& command : commands_)
        command.transfer->abandon();
    commands_.clear();
    curl_multi_cleanup(multi_);
}

void NetworkThread::add(Ref<NetworkTransfer> transfer) {
    send(Action::Add, std::move(transfer));
}

void NetworkThread::remove(Ref<NetworkTransfer> transfer) {
    send(Action::Remove, std::move(transfer));
}

void NetworkThread::resume(Ref<NetworkTransfer> transfer) {
    send(Action::Resume, std::move(transfer));
}

void NetworkThread::send(Action action, Ref<NetworkTransfer> transfer) {
    {
        std::lock_guard lock(mutex_);
        commands_.push_back({action, std::move(transfer)});
    }
    curl_multi_wakeup(multi_);
}

void NetworkThread::run() {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        std::vector<Command> commands;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                break;
            commands.swap(commands_);
        }
        for (auto& command : commands) {
            CURL* handle = command.transfer->handle();
            if (command.action == Action::Add) {
                if (running_.count(handle) == 0 &&
                    curl_multi_add_handle(multi_, handle) == CURLM_OK) {
                    command.transfer->begin(Clock::now());
                    running_.emplace(handle, command.transfer);
                }
            } else if (command.action == Action::Resume) {
                if (running_.count(handle))
                    command.transfer->resume(Clock::now());
            } else if (running_.erase(handle) > 0) {
                curl_multi_remove_handle(multi_, handle);
            }
        }

        int stillRunning = 0;
        curl_multi_perform(multi_, &stillRunning);

        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            const CURLcode result = message->data.result;
            auto it = running_.find(handle);
            if (it == running_.end())
                continue;
            Ref<NetworkTransfer> transfer = std::move(it->second);
            running_.erase(it);
            curl_multi_remove_handle(multi_, handle);
            transfer->complete(result);
        }
        for (const auto& [handle, transfer] : running_)
            transfer->afterPerform();

        const auto now = Clock::now();
        std::vector<Ref<NetworkTransfer>> idle;
        auto nextDeadline = Clock::time_point::max();
        for (const auto& [handle, transfer] : running_) {
            const auto deadline = transfer->idleDeadline();
            if (deadline <= now) {
                idle.push_back(transfer);
            } else {
                nextDeadline = std::min(nextDeadline, deadline);
            }
        }
        for (auto& transfer : idle) {
            running_.erase(transfer->handle());
            curl_multi_remove_handle(multi_, transfer->handle());
            transfer->timeOut();
        }

        long waitMs = kLongestWaitMs;
        long curlWaitMs = -1;
        curl_multi_timeout(multi_, &curlWaitMs);
        if (curlWaitMs >= 0)
            waitMs = std::min(waitMs, curlWaitMs);
        if (nextDeadline != Clock::time_point::max()) {
            const auto untilDeadline =
                std::chrono::ceil<std::chrono::milliseconds>(nextDeadline - now).count();
            waitMs = std::min<long>(waitMs, std::max<long>(untilDeadline, 0));
        }
        if (!idle.empty())
            waitMs = 0;
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(waitMs), nullptr);
    }

    for (const auto& [handle, transfer] : running_) {
        curl_multi_remove_handle(multi_, handle);
        transfer->abandon();
    }
    running_.clear();
}

}  // namespace plat
