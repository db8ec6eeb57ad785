#pragma once
// plat::Stream: the common part of input and output streams: a status, an error, and events
// for one client, delivered on the run loop (and in the modes) the stream is scheduled in.
//
//   stream->setClient(Stream::HasBytesAvailable | Stream::EndEncountered, handler);
//   stream->scheduleInRunLoop(RunLoop::current(), kDefaultRunLoopMode);
//   stream->open();
//
// Events are delivered only while the stream is scheduled and its client set; none arrives
// after close(), after unscheduling or once the client is cleared, even if it was queued before.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/core/Error.h"
#include "platform/runloop/RunLoop.h"

namespace plat {

class Stream : public std::enable_shared_from_this<Stream> {
  public:
    enum class Status { NotOpen, Opening, Open, Reading, Writing, AtEnd, Closed, Error };
    enum Event : uint32_t {
        None = 0,
        OpenCompleted = 1,
        HasBytesAvailable = 2,
        HasSpaceAvailable = 4,
        ErrorOccurred = 8,
        EndEncountered = 16,
    };
    using Client = std::function<void(Stream& stream, Event event)>;

    virtual ~Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // False when the stream could not be opened (its status is then Error).
    virtual bool open() = 0;
    virtual void close();

    Status streamStatus() const;
    Ref<Error> streamError() const;

    // The client hears the events of `mask`; an empty client stops the events.
    void setClient(uint32_t mask, Client client);
    // Events go to this loop in these modes (scheduling on another loop moves them there).
    void scheduleInRunLoop(RunLoop& loop, const std::string& mode);
    void unscheduleFromRunLoop(RunLoop& loop, const std::string& mode);

  protected:
    Stream() = default;
    void setStatus(Status status);
    // Sets the error and the Error status.
    void setError(Ref<Error> error);
    // Any thread: asks for an event check on the scheduled loop; several requests before it
    // runs make one check.
    void signal();
    // On the scheduled loop: the event the stream has for its client now (None for nothing);
    // a one-time event (open, end, error) counts as reported once answered. After the client
    // ran, the stream is asked again when `askAgain` answers true: by default after one-time
    // events, and after HasBytesAvailable or HasSpaceAvailable only when the client read or
    // wrote something since (streams count that themselves).
    virtual Event pendingEvent() = 0;
    virtual bool askAgain(Event delivered) {
        return delivered != HasBytesAvailable && delivered != HasSpaceAvailable;
    }

    mutable std::mutex stateMutex_;

  private:
    void deliver(uint64_t generation);

    Status status_ = Status::NotOpen;
    Ref<Error> error_;

    std::mutex clientMutex_;
    uint32_t mask_ = 0;
    std::shared_ptr<Client> client_;
    std::weak_ptr<RunLoop> loop_;
    Modes modes_;
    uint64_t generation_ = 0;  // bumped by close, unschedule and a new client
    bool signalQueued_ = false;
};

}  // namespace plat
