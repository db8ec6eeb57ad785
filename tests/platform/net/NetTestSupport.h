#pragma once
// Helpers for connection tests: a delegate that records what it is told, and loading a request
// on the current thread's run loop until it ends.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/UrlConnection.h"
#include "platform/net/UrlError.h"
#include "platform/runloop/RunLoop.h"

namespace net_test {

class Recorder : public plat::UrlConnectionDelegate {
  public:
    // "response 200", "data", "redirect 307", "finish", "fail -1001", in order.
    std::vector<std::string> events;
    // The run-loop mode in which each event arrived.
    std::vector<std::string> modes;
    std::optional<plat::HttpUrlResponse> response;
    std::string body;
    size_t chunks = 0;
    Ref<plat::Error> error;
    bool done = false;
    std::vector<plat::UrlRequest> redirectRequests;
    std::vector<plat::HttpUrlResponse> redirectResponses;

    // Decides redirects (follows when empty).
    std::function<std::optional<plat::UrlRequest>(const plat::UrlRequest&)> onRedirect;
    // Called after the response and after each data chunk is recorded.
    std::function<void(plat::UrlConnection&)> onResponse;
    std::function<void(plat::UrlConnection&)> onData;

    std::optional<plat::UrlRequest> willSendRequest(
        plat::UrlConnection&, const plat::UrlRequest& request,
        const plat::HttpUrlResponse& redirect) override {
        note("redirect " + std::to_string(redirect.statusCode()));
        redirectRequests.push_back(request);
        redirectResponses.push_back(redirect);
        return onRedirect ? onRedirect(request) : std::optional<plat::UrlRequest>(request);
    }
    void didReceiveResponse(plat::UrlConnection& connection,
                            const plat::HttpUrlResponse& r) override {
        note("response " + std::to_string(r.statusCode()));
        response = r;
        if (onResponse)
            onResponse(connection);
    }
    void didReceiveData(plat::UrlConnection& connection, const plat::Bytes& data) override {
        if (events.empty() || events.back() != "data")
            note("data");
        ++chunks;
        body.append(data.begin(), data.end());
        if (onData)
            onData(connection);
    }
    void didFinishLoading(plat::UrlConnection&) override {
        note("finish");
        done = true;
    }
    void didFailWithError(plat::UrlConnection&, const Ref<plat::Error>& e) override {
        note("fail " + std::to_string(e->code()));
        error = e;
        done = true;
    }

  private:
    void note(std::string event) {
        events.push_back(std::move(event));
        modes.push_back(plat::RunLoop::current().currentMode());
    }
};

inline plat::Url url(const std::string& text) {
    return plat::Url::parse(text).value();
}

inline plat::UrlRequest postRequest(const std::string& target, const std::string& body,
                                    double timeout = 10) {
    plat::UrlRequest request(url(target), plat::UrlRequest::CachePolicy::UseProtocolCachePolicy,
                             timeout);
    request.setHttpMethod("POST");
    request.setValueForHttpHeaderField("application/json; charset=utf-8", "Content-Type");
    request.setHttpBody(body);
    return request;
}

struct Loading {
    Ref<Recorder> recorder = std::make_shared<Recorder>();
    Ref<plat::UrlConnection> connection;
};

// Makes and schedules a connection on the current loop; it is not started.
inline Loading prepare(const plat::UrlRequest& request,
                       const plat::Modes& modes = plat::defaultModes()) {
    Loading loading;
    loading.connection = plat::UrlConnection::make(request, loading.recorder);
    loading.connection->scheduleInRunLoop(plat::RunLoop::current(), modes);
    return loading;
}

// Runs the current loop in the mode until the recorder is done (or the time passes).
inline bool runUntilDone(const Recorder& recorder, double seconds = 10,
                         const std::string& mode = plat::kDefaultRunLoopMode) {
    return plat::RunLoop::current().runUntil([&] { return recorder.done; }, seconds, mode);
}

// Loads the request on the current loop in the default mode and answers the recorder.
inline Ref<Recorder> load(const plat::UrlRequest& request) {
    auto loading = prepare(request);
    loading.connection->start();
    runUntilDone(*loading.recorder);
    return loading.recorder;
}

// Runs the current loop for a while, whatever happens.
inline void spin(double seconds, const std::string& mode = plat::kDefaultRunLoopMode) {
    plat::RunLoop::current().runUntil([] { return false; }, seconds, mode);
}

}  // namespace net_test
