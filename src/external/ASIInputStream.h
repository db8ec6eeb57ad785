#pragma once
// ASIInputStream: the body stream the HTTP stream layer reads a request body from, wrapping a
// file or memory stream so that every read is counted in the engine's class-wide bandwidth
// and, while throttling is on, limited in size: with the window's bytes spent a read takes
// nothing while bytes remain (hasBytesAvailable), and the stream layer waits for the next window.
// Everything else passes through to the wrapped stream.
#include <memory>
#include <mutex>

#include "platform/storage/InputStream.h"

class ASIHTTPRequest;

class ASIInputStream final : public plat::InputStream {
  public:
    static Ref<ASIInputStream> inputStreamWithFileAtPath(const std::string& path,
                                                         const Ref<ASIHTTPRequest>& request);
    static Ref<ASIInputStream> inputStreamWithData(plat::Bytes data,
                                                   const Ref<ASIHTTPRequest>& request);

    const Ref<plat::InputStream>& stream() const { return stream_; }
    void setStream(Ref<plat::InputStream> stream) { stream_ = std::move(stream); }
    Ref<ASIHTTPRequest> request() const { return request_.lock(); }
    void setRequest(const Ref<ASIHTTPRequest>& request) { request_ = request; }

    int64_t read(uint8_t* buffer, size_t length) override;
    bool hasBytesAvailable() const override { return stream_->hasBytesAvailable(); }
    bool open() override { return stream_->open(); }
    void close() override { stream_->close(); }

    struct Private {};
    ASIInputStream(Private, Ref<plat::InputStream> stream, const Ref<ASIHTTPRequest>& request);

  private:
    Event pendingEvent() override { return None; }

    Ref<plat::InputStream> stream_;
    std::weak_ptr<ASIHTTPRequest> request_;
};
