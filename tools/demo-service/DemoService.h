#pragma once
// demo::DemoService: the stand-in library service. It listens on 127.0.0.1 and answers
//  - version-2 JSON web methods: POST <service path>/<Method> with a JSON body, answered as
//    {"d": result}; "RequestSessionID" opens a session that later requests find by its cookie;
//  - files: GET <path> of registered bytes, with single "Range: bytes=a-[b]" requests (206, 416;
//    several ranges get the whole file, and a Range the server library cannot read gets 416).
// The latest requests are recorded (at most kMaxRecordedRequests, with at most
// kMaxRecordedBodyBytes of bodies in all). A body beyond kMaxBodyBytes is answered 413, a JSON
// body nested deeper than kMaxJsonDepth 400. Faults (demo::Fault) make it misbehave per method
// (or file path) or for the next requests. It runs on its own threads; every member function is
// thread-safe.
//
//   demo::DemoService service;
//   service.addMethod("GetFoo", [](const demo::Json& body, demo::Session&) { return body["x"]; });
//   service.start();
//   // POST service.serviceUrl() + "/GetFoo" {"x": 1}  →  {"d": 1}
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "demo-service/DemoFault.h"

namespace demo {

using Json = nlohmann::json;

// A version-2 session. Handlers may keep their own state in `data`; calls of one session are
// handled one at a time.
struct Session {
    std::string id;  // empty when the request carried no known session cookie
    Json data = Json::object();
    bool valid() const { return !id.empty(); }
};

// Thrown by a web-method handler to answer with an HTTP status of its choice and the service's
// error body ({"Message": what(), "ExceptionType": ...}).
struct HttpError : std::runtime_error {
    HttpError(int status, const std::string& message)
        : std::runtime_error(message), status(status) {}
    int status;
};

struct RecordedRequest {
    std::string method;  // "POST", "GET"
    std::string path;    // without the query
    std::string query;   // the text after "?", or empty
    // Header fields sorted by name: the server library does not keep the order of the wire.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    bool hasHeader(std::string_view name) const;
    // The first value of the header (name compared without case), or empty.
    std::string header(std::string_view name) const;
};

class DemoService {
  public:
    using MethodHandler = std::function<Json(const Json& body, Session& session)>;
    // A handler that also sees the request it answers (its header fields, say).
    using RequestMethodHandler =
        std::function<Json(const Json& body, Session& session, const RecordedRequest& request)>;

    static constexpr size_t kMaxBodyBytes = size_t{16} << 20;
    static constexpr size_t kMaxJsonDepth = 512;
    static constexpr size_t kMaxRecordedRequests = 2048;
    static constexpr size_t kMaxRecordedBodyBytes = size_t{32} << 20;

    // The session cookie set by "RequestSessionID".
    static constexpr const char* kSessionCookieName = "ASP.NET_SessionId";

    DemoService();
    ~DemoService();  // stops
    DemoService(const DemoService&) = delete;
    DemoService& operator=(const DemoService&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port). False when the port cannot be bound or
    // the service already runs.
    bool start(int port = 0);
    // Releases stalled requests, closes the listener and waits for the service's threads.
    void stop();
    bool isRunning() const;
    int port() const;
    // "http://127.0.0.1:<port>"
    std::string baseUrl() const;
    // baseUrl() followed by the service path.
    std::string serviceUrl() const;

    // The path under which web methods are posted; "/service.svc" unless changed.
    void setServicePath(std::string path);
    std::string servicePath() const;

    // Registers (or replaces) a web method. The handler's answer is sent as {"d": answer}; an
    // HttpError from it becomes a reply with its status, any other exception a 500 reply, both
    // with its message.
    void addMethod(std::string name, MethodHandler handler);
    void addMethodWithRequest(std::string name, RequestMethodHandler handler);
    // The handler registered for a web method (empty when none), so that another can wrap it.
    RequestMethodHandler methodHandler(const std::string& name) const;
    // Calls of this web method that come without a session get a new one (and its cookie), as
    // "RequestSessionID" gives, before the handler runs.
    void setOpensSession(std::string name);
    // Keeps the sessions beyond the service's own life (a restart on the same store): `save`
    // hears each session as it opens and as each call of it ends; `load` is asked for a session
    // whose cookie the service does not know, and its data, when it answers any, makes that
    // session again under the same id.
    using SessionLoader = std::function<std::optional<Json>(const std::string& id)>;
    using SessionSaver = std::function<void(const Session& session)>;
    void setSessionStore(SessionLoader load, SessionSaver save);
    // Serves GET requests under a path prefix with the bytes and content type the provider makes
    // for each path (no copy is kept); none: 404.
    using FileProvider =
        std::function<std::optional<std::pair<std::string, std::string>>(const std::string& path)>;
    void addFileProvider(std::string prefix, FileProvider provider);
    // Answers requests of any method under a path prefix with what the handler makes; when it
    // answers nothing, the request is handled as usual. Faults set on the path come first.
    struct RouteReply {
        int status = 200;
        std::string contentType = "text/plain; charset=utf-8";
        std::string body;
        std::vector<std::pair<std::string, std::string>> headers;
    };
    using RouteHandler = std::function<std::optional<RouteReply>(const RecordedRequest& request)>;
    void addRoute(std::string prefix, RouteHandler handler);
    // Serves the bytes at a path for GET, with Range support.
    void addFile(std::string path, std::string bytes,
                 std::string contentType = "application/octet-stream");
    // Serves a file of `size` bytes made from the seed as it is sent (no copy is kept), with
    // Range support and a strong ETag; generatedByte() tells each byte.
    void addGeneratedFile(std::string path, int64_t size, uint32_t seed,
                          std::string contentType = "application/octet-stream");
    static uint8_t generatedByte(int64_t position, uint32_t seed);
    // File bodies being sent right now, and the most sent at once so far.
    size_t transfersInFlight() const;
    size_t transfersHighWaterMark() const;

    // Misbehaves on every request for a web method name (or a file path) until cleared.
    void setFault(const std::string& name, Fault fault);
    // Misbehaves on the next `count` requests, whatever they ask.
    void setFaultForNext(size_t count, Fault fault);
    void clearFaults();

    // Lets every stalled request go on.
    void releaseStalled();
    // Lets the stalled requests of one name (a web method's, or a content path) go on.
    void releaseStalled(const std::string& name);
    // How many requests are stalled right now.
    size_t stalledCount() const;
    // Waits (up to timeoutSeconds of real time) until at least `count` requests are stalled.
    bool waitForStalled(size_t count, double timeoutSeconds = 5.0) const;

    // A copy of the latest requests received, oldest first.
    std::vector<RecordedRequest> requests() const;
    // The received web-method calls, by name, oldest first.
    std::vector<RecordedRequest> requestsForMethod(std::string_view name) const;
    void clearRequests();
    size_t sessionCount() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace demo
