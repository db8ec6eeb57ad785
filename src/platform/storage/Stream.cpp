#include "platform/storage/Stream.h"

#include <algorithm>

namespace plat {
namespace {

// Events one check delivers before it yields to the loop's other work.
constexpr int kEventsPerTurn = 64;

}  // namespace

void Stream::close() {
    {
        std::lock_guard lock(clientMutex_);
        ++generation_;
        signalQueued_ = false;
    }
    setStatus(Status::Closed);
}

Stream::Status Stream::streamStatus() const {
    std::lock_guard lock(stateMutex_);
    return status_;
}

Ref<Error> Stream::streamError() const {
    std::lock_guard lock(stateMutex_);
    return error_;
}

void Stream::setStatus(Status status) {
    std::lock_guard lock(stateMutex_);
    if (status_ != Status::Closed || status == Status::Closed)
        status_ = status;
}

void Stream::setError(Ref<Error> error) {
    std::lock_guard lock(stateMutex_);
    if (status_ == Status::Closed)
        return;
    error_ = std::move(error);
    status_ = Status::Error;
}

void Stream::setClient(uint32_t mask, Client client) {
    {
        std::lock_guard lock(clientMutex_);
        mask_ = mask;
        client_ = client ? std::make_shared<Client>(std::move(client)) : nullptr;
    }
    signal();
}

void Stream::scheduleInRunLoop(RunLoop& loop, const std::string& mode) {
    {
        std::lock_guard lock(clientMutex_);
        auto current = loop_.lock();
        if (current.get() != &loop) {
            loop_ = loop.shared_from_this();
            modes_.clear();
            ++generation_;
            signalQueued_ = false;
        }
        if (std::find(modes_.begin(), modes_.end(), mode) == modes_.end())
            modes_.push_back(mode);
    }
    signal();
}

void Stream::unscheduleFromRunLoop(RunLoop& loop, const std::string& mode) {
    std::lock_guard lock(clientMutex_);
    if (loop_.lock().get() != &loop)
        return;
    modes_.erase(std::remove(modes_.begin(), modes_.end(), mode), modes_.end());
    if (modes_.empty()) {
        loop_.reset();
        ++generation_;
        signalQueued_ = false;
    }
}

void Stream::signal() {
    std::shared_ptr<RunLoop> loop;
    Modes modes;
    uint64_t generation = 0;
    {
        std::lock_guard lock(clientMutex_);
        loop = loop_.lock();
        const Status status = streamStatus();
        if (!loop || !client_ || signalQueued_ || status == Status::NotOpen ||
            status == Status::Closed)
            return;
        signalQueued_ = true;
        modes = modes_;
        generation = generation_;
    }
    std::weak_ptr<Stream> weak = weak_from_this();
    loop->post(
        [weak, generation] {
            if (auto self = weak.lock())
                self->deliver(generation);
        },
        modes);
}

void Stream::deliver(uint64_t generation) {
    auto keep = shared_from_this();
    auto current = [&](std::shared_ptr<Client>* client, uint32_t* mask) {
        std::lock_guard lock(clientMutex_);
        if (generation != generation_ || !client_ || streamStatus() == Status::Closed)
            return false;
        if (client) {
            *client = client_;
            *mask = mask_;
        }
        return true;
    };
    {
        std::lock_guard lock(clientMutex_);
        if (generation != generation_)
            return;
        signalQueued_ = false;
    }
    for (int round = 0; round < kEventsPerTurn; ++round) {
        std::shared_ptr<Client> client;
        uint32_t mask = 0;
        if (!current(&client, &mask))
            return;
        const Event event = pendingEvent();
        if (event == None)
            return;
        if (mask & event)
            (*client)(*this, event);
        if (!current(nullptr, nullptr) || !askAgain(event))
            return;
    }
    signal();
}

}  // namespace plat
