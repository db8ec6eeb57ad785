#include "demo-service/DemoService.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <thread>

namespace demo {
namespace {

// Enough workers for a dozen held requests plus the idle keep-alive connections of a client.
constexpr size_t kWorkerThreads = 32;
// Connections made at once that wait to be accepted. The server library's own queue holds five:
// a burst beyond it on a busy machine waits for the client's connection retries, seconds apart.
constexpr int kAcceptQueue = 256;
// A stall "until released" still ends after this long, so that a forgotten stall cannot hang a
// test run.
constexpr double kLongestStall = 60.0;
constexpr const char* kMovedPrefix = "/moved";
constexpr const char* kJsonType = "application/json; charset=utf-8";

// A generated body: `length` bytes of a generated file from `offset` on.
struct GeneratedBody {
    uint32_t seed = 0;
    int64_t offset = 0;
    int64_t length = 0;
};

struct Reply {
    int status = 200;
    std::string contentType = kJsonType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<GeneratedBody> generated;
};

Reply jsonReply(int status, const Json& value) {
    Reply reply;
    reply.status = status;
    reply.body = value.dump();
    return reply;
}

Reply messageReply(int status, const std::string& message, const std::string& exceptionType) {
    return jsonReply(status, Json{{"Message", message}, {"ExceptionType", exceptionType}});
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

// The value of a cookie in a Cookie request header, or empty.
std::string cookieValue(const std::string& header, std::string_view name) {
    size_t pos = 0;
    while (pos <= header.size()) {
        size_t end = header.find(';', pos);
        if (end == std::string::npos)
            end = header.size();
        const std::string pair = trim(std::string_view(header).substr(pos, end - pos));
        const size_t eq = pair.find('=');
        if (eq != std::string::npos && pair.compare(0, eq, name) == 0)
            return pair.substr(eq + 1);
        pos = end + 1;
    }
    return {};
}

std::string randomHex(size_t bytes) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes; ++i) {
        const auto byte = static_cast<unsigned>(generator() & 0xff);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xf];
    }
    return out;
}

// A single "bytes=a-" or "bytes=a-b" range; anything else is ignored (the whole file is sent).
struct ByteRange {
    size_t first = 0;
    std::optional<size_t> last;
};

std::optional<ByteRange> parseRange(const std::string& header) {
    constexpr std::string_view kUnit = "bytes=";
    if (header.compare(0, kUnit.size(), kUnit) != 0)
        return std::nullopt;
    const std::string rangeSet = trim(std::string_view(header).substr(kUnit.size()));
    const size_t dash = rangeSet.find('-');
    if (dash == std::string::npos || dash == 0 || rangeSet.find(',') != std::string::npos) {
        return std::nullopt;
    }
    auto number = [](std::string_view digits) -> std::optional<size_t> {
        if (digits.empty() || digits.size() > 18)
            return std::nullopt;
        size_t n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            n = n * 10 + static_cast<size_t>(c - '0');
        }
        return n;
    };
    ByteRange range;
    const auto first = number(std::string_view(rangeSet).substr(0, dash));
    if (!first)
        return std::nullopt;
    range.first = *first;
    if (dash + 1 < rangeSet.size()) {
        range.last = number(std::string_view(rangeSet).substr(dash + 1));
        if (!range.last || *range.last < range.first)
            return std::nullopt;
    }
    return range;
}

}  // namespace

bool RecordedRequest::hasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& field) { return equalsIgnoringCase(field.first, name); });
}

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name))
            return value;
    }
    return {};
}

struct DemoService::Impl {
    struct SessionSlot {
        std::mutex mutex;
        Session session;
    };
    struct File {
        std::string bytes;
        std::string contentType;
        // A generated file: its size and seed (bytes stays empty).
        std::optional<std::pair<int64_t, uint32_t>> generated;
    };

    mutable std::mutex mutex;
    mutable std::condition_variable stallChanged;
    std::unique_ptr<httplib::Server> server;
    std::thread listener;
    int port = 0;
    bool running = false;
    bool stopping = false;
    std::string servicePath = "/service.svc";
    std::map<std::string, RequestMethodHandler> methods;
    std::set<std::string> sessionOpeningMethods;
    std::vector<std::pair<std::string, FileProvider>> fileProviders;
    std::vector<std::pair<std::string, RouteHandler>> routes;
    std::map<std::string, File> files;
    std::map<std::string, Fault> faults;
    std::map<std::string, int64_t> faultCalls;  // calls of each faulted name so far
    std::deque<Fault> nextFaults;
    uint64_t releaseGeneration = 0;
    std::map<std::string, uint64_t> releasesOfName;  // releases of the stalls of one name
    size_t transfersInFlight = 0;
    size_t transfersHighWaterMark = 0;
    size_t stalled = 0;
    std::deque<RecordedRequest> recorded;
    size_t recordedBodyBytes = 0;
    std::map<std::string, std::shared_ptr<SessionSlot>> sessions;
    SessionLoader loadSession;
    SessionSaver saveSession;

    void handle(const httplib::Request& req, httplib::Response& res);
    std::optional<std::string> webMethodName(const std::string& path) const;
    std::optional<RouteReply> routeReply(const std::string& path, const RecordedRequest& request);
    std::optional<Fault> takeFault(const std::string& name, bool exempt);
    // Holds the request of that name until released, the service stops or maxSeconds pass.
    void stall(double maxSeconds, const std::string& name = {});
    // Waits up to `seconds` unless the service stops; false when it stops.
    bool pause(double seconds);
    void record(RecordedRequest request);
    Reply callMethod(const std::string& name, const httplib::Request& req,
                     const RecordedRequest& request, const Fault* fault);
    Reply fileReply(const std::string& path, const httplib::Request& req, const Fault* fault);
    void write(Reply reply, const Fault* fault, httplib::Response& res);
    void writeGenerated(const GeneratedBody& body, const std::string& contentType,
                        const Fault* fault, httplib::Response& res);
};

void DemoService::Impl::handle(const httplib::Request& req, httplib::Response& res) {
    // The server library would cut every body to the asked Range on its own (and answer a wrong
    // 416); ranges are served here instead. The request object is not const inside the server.
    const_cast<httplib::Request&>(req).ranges.clear();

    RecordedRequest request;
    request.method = req.method;
    const size_t question = req.target.find('?');
    request.path = req.path;
    if (question != std::string::npos)
        request.query = req.target.substr(question + 1);
    for (const auto& field : req.headers)
        request.headers.emplace_back(field.first, field.second);
    request.body = req.body;

    const bool exempt = req.path.rfind(std::string(kMovedPrefix) + "/", 0) == 0;
    const std::string path =
        exempt ? req.path.substr(std::string_view(kMovedPrefix).size()) : req.path;
    std::optional<std::string> method;
    if (req.method == "POST")
        method = webMethodName(path);

    const std::string name = method ? *method : path;
    std::optional<Fault> fault = takeFault(name, exempt);
    record(request);

    Reply reply;
    if (fault && (fault->kind == FaultKind::Stall || fault->kind == FaultKind::StallThenFail))
        stall(fault->seconds, name);
    if (fault && fault->kind == FaultKind::Unauthorized) {
        reply = messageReply(401, "Authentication failed.", "System.UnauthorizedAccessException");
    } else if (fault &&
               (fault->kind == FaultKind::ServerError || fault->kind == FaultKind::StallThenFail)) {
        reply = messageReply(500, "There was an error processing the request.",
                             "System.InvalidOperationException");
    } else if (fault && fault->kind == FaultKind::NotJson) {
        reply.contentType = "text/html; charset=utf-8";
        reply.body = "<html><body><h1>Runtime Error</h1></body></html>";
    } else if (fault && fault->kind == FaultKind::HtmlStatus) {
        reply.status = fault->status;
        reply.contentType = "text/html; charset=utf-8";
        reply.body = "<html><body><h1>" + std::to_string(fault->status) + "</h1></body></html>";
    } else if (fault && fault->kind == FaultKind::Redirect) {
        reply.status = fault->status;
        reply.contentType = "text/html; charset=utf-8";
        reply.body = "<html><body>Moved</body></html>";
        reply.headers.emplace_back("Location", fault->location.empty()
                                                   ? std::string(kMovedPrefix) + req.target
                                                   : fault->location);
    } else if (auto routed = routeReply(path, request)) {
        reply.status = routed->status;
        reply.contentType = routed->contentType;
        reply.body = std::move(routed->body);
        reply.headers = std::move(routed->headers);
    } else if (method) {
        reply = callMethod(*method, req, request, fault ? &*fault : nullptr);
        if (fault && fault->kind == FaultKind::Status)
            reply.status = fault->status;
    } else if (req.method == "GET" || req.method == "HEAD") {
        reply = fileReply(path, req, fault ? &*fault : nullptr);
    } else {
        reply = messageReply(404, "Not found", "System.IO.FileNotFoundException");
    }
    write(std::move(reply), fault ? &*fault : nullptr, res);
}

std::optional<DemoService::RouteReply> DemoService::Impl::routeReply(
    const std::string& path, const RecordedRequest& request) {
    RouteHandler handler;
    {
        std::lock_guard lock(mutex);
        for (const auto& [prefix, candidate] : routes) {
            if (path.rfind(prefix, 0) == 0)
                handler = candidate;
        }
    }
    return handler ? handler(request) : std::nullopt;
}

void DemoService::addRoute(std::string prefix, RouteHandler handler) {
    std::lock_guard lock(impl_->mutex);
    impl_->routes.emplace_back(std::move(prefix), std::move(handler));
}

std::optional<std::string> DemoService::Impl::webMethodName(const std::string& path) const {
    std::lock_guard lock(mutex);
    if (path == servicePath)
        return std::string();
    if (path.size() > servicePath.size() && path.compare(0, servicePath.size(), servicePath) == 0 &&
        path[servicePath.size()] == '/') {
        std::string name = path.substr(servicePath.size() + 1);
        if (name.find('/') == std::string::npos)
            return name;
    }
    return std::nullopt;
}

std::optional<Fault> DemoService::Impl::takeFault(const std::string& name, bool exempt) {
    if (exempt)
        return std::nullopt;
    std::lock_guard lock(mutex);
    if (!nextFaults.empty()) {
        Fault fault = nextFaults.front();
        nextFaults.pop_front();
        return fault;
    }
    if (auto it = faults.find(name); it != faults.end()) {
        const int64_t call = faultCalls[name]++;
        const Fault& fault = it->second;
        if (call < fault.afterCalls || (fault.calls > 0 && call >= fault.afterCalls + fault.calls))
            return std::nullopt;
        return fault;
    }
    return std::nullopt;
}

void DemoService::Impl::stall(double maxSeconds, const std::string& name) {
    const double limit = maxSeconds > 0 ? maxSeconds : kLongestStall;
    std::unique_lock lock(mutex);
    const uint64_t generation = releaseGeneration;
    const uint64_t ofName = releasesOfName[name];
    ++stalled;
    stallChanged.notify_all();
    stallChanged.wait_for(lock, std::chrono::duration<double>(limit), [&] {
        return stopping || releaseGeneration != generation || releasesOfName[name] != ofName;
    });
    --stalled;
    stallChanged.notify_all();
}

bool DemoService::Impl::pause(double seconds) {
    std::unique_lock lock(mutex);
    return !stallChanged.wait_for(lock, std::chrono::duration<double>(seconds),
                                  [&] { return stopping; });
}

void DemoService::Impl::record(RecordedRequest request) {
    std::lock_guard lock(mutex);
    recordedBodyBytes += request.body.size();
    recorded.push_back(std::move(request));
    while (recorded.size() > kMaxRecordedRequests ||
           (recorded.size() > 1 && recordedBodyBytes > kMaxRecordedBodyBytes)) {
        recordedBodyBytes -= recorded.front().body.size();
        recorded.pop_front();
    }
}

Reply DemoService::Impl::callMethod(const std::string& name, const httplib::Request& req,
                                    const RecordedRequest& request, const Fault* fault) {
    Json body;
    if (!req.body.empty()) {
        // Values nested beyond the limit are dropped while parsing, and the call refused, so
        // that no handler walks an arbitrarily deep value.
        bool tooDeep = false;
        body = Json::parse(
            req.body,
            [&tooDeep](int depth, Json::parse_event_t, Json&) {
                if (depth > static_cast<int>(kMaxJsonDepth))
                    tooDeep = true;
                return !tooDeep;
            },
            /*allow_exceptions=*/false);
        if (tooDeep) {
            return messageReply(400, "The JSON body is nested too deeply.",
                                "System.ArgumentException");
        }
        if (body.is_discarded()) {
            return messageReply(500, "Invalid JSON primitive.", "System.ArgumentException");
        }
    }

    RequestMethodHandler handler;
    std::shared_ptr<SessionSlot> slot;
    SessionLoader load;
    SessionSaver save;
    const std::string id = cookieValue(req.get_header_value("Cookie"), kSessionCookieName);
    {
        std::lock_guard lock(mutex);
        if (auto it = methods.find(name); it != methods.end())
            handler = it->second;
        if (auto it = sessions.find(id); !id.empty() && it != sessions.end())
            slot = it->second;
        load = loadSession;
        save = saveSession;
    }
    // A session kept from before a restart comes back under its id.
    if (!slot && !id.empty() && load) {
        if (auto data = load(id); data && data->is_object()) {
            auto kept = std::make_shared<SessionSlot>();
            kept->session.id = id;
            kept->session.data = std::move(*data);
            std::lock_guard lock(mutex);
            slot = sessions.try_emplace(id, std::move(kept)).first->second;
        }
    }

    Reply reply;
    Json result;
    bool opensSession = false;
    {
        std::lock_guard lock(mutex);
        opensSession = sessionOpeningMethods.count(name) > 0;
    }
    auto openSession = [&] {
        auto fresh = std::make_shared<SessionSlot>();
        fresh->session.id = randomHex(16);
        {
            std::lock_guard lock(mutex);
            sessions[fresh->session.id] = fresh;
        }
        if (save)
            save(fresh->session);
        reply.headers.emplace_back("Set-Cookie", std::string(kSessionCookieName) + "=" +
                                                     fresh->session.id + "; path=/; HttpOnly");
        return fresh;
    };
    if (!handler && name == "RequestSessionID") {
        result = openSession()->session.id;
    } else if (!handler) {
        return messageReply(404, "Unknown web method " + name + ".", "System.ArgumentException");
    } else {
        if (!slot && opensSession)
            slot = openSession();
        try {
            if (slot) {
                std::lock_guard lock(slot->mutex);
                // Saved also when the handler throws: it may have changed the session first.
                struct SaveOnExit {
                    const SessionSaver& save;
                    const Session& session;
                    ~SaveOnExit() {
                        if (save)
                            save(session);
                    }
                } saving{save, slot->session};
                result = handler(body, slot->session, request);
            } else {
                Session none;
                result = handler(body, none, request);
            }
        } catch (const HttpError& e) {
            return messageReply(
                e.status, e.what(),
                e.status == 401 ? "System.UnauthorizedAccessException" : "System.Exception");
        } catch (const std::exception& e) {
            return messageReply(500, e.what(), "System.Exception");
        }
    }

    Json document = Json::object();
    if (fault && fault->kind == FaultKind::NullResult) {
        document["d"] = nullptr;
    } else if (fault && fault->kind == FaultKind::EmptyObject) {
        // nothing
    } else if (fault && fault->kind == FaultKind::ResultMember) {
        document[name + "Result"] = std::move(result);
    } else {
        document["d"] = std::move(result);
    }
    reply.body = document.dump();
    return reply;
}

Reply DemoService::Impl::fileReply(const std::string& path, const httplib::Request& req,
                                   const Fault* fault) {
    File file;
    {
        std::unique_lock lock(mutex);
        auto it = files.find(path);
        if (it != files.end()) {
            file = it->second;
        } else {
            FileProvider provider;
            for (const auto& [prefix, candidate] : fileProviders) {
                if (path.rfind(prefix, 0) == 0)
                    provider = candidate;
            }
            if (!provider)
                return messageReply(404, "Not found", "System.IO.FileNotFoundException");
            lock.unlock();
            auto made = provider(path);
            if (!made)
                return messageReply(404, "Not found", "System.IO.FileNotFoundException");
            file.bytes = std::move(made->first);
            file.contentType = std::move(made->second);
        }
    }
    Reply reply;
    reply.contentType = file.contentType;
    const auto size =
        file.generated ? static_cast<size_t>(file.generated->first) : file.bytes.size();
    if (file.generated) {
        reply.headers.emplace_back("ETag", "\"" + std::to_string(file.generated->first) + "-" +
                                               std::to_string(file.generated->second) + "\"");
    }
    // The body: bytes [first, first + length) of the file.
    auto body = [&](size_t first, size_t length) {
        if (file.generated) {
            reply.generated = GeneratedBody{file.generated->second, static_cast<int64_t>(first),
                                            static_cast<int64_t>(length)};
        } else {
            reply.body = first == 0 && length == size ? std::move(file.bytes)
                                                      : file.bytes.substr(first, length);
        }
    };
    auto range = req.has_header("Range") ? parseRange(req.get_header_value("Range")) : std::nullopt;
    if (fault && fault->kind == FaultKind::IgnoreRange)
        range.reset();
    if (!range) {
        body(0, size);
        return reply;
    }
    if (range->first >= size) {
        reply.status = 416;
        reply.contentType = "text/plain";
        reply.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
        return reply;
    }
    if (fault && fault->kind == FaultKind::WrongRange)
        range->first = 0;
    const size_t last = std::min(range->last.value_or(size - 1), size - 1);
    reply.status = 206;
    body(range->first, last - range->first + 1);
    reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(range->first) + "-" +
                                                    std::to_string(last) + "/" +
                                                    std::to_string(size));
    return reply;
}

void DemoService::Impl::write(Reply reply, const Fault* fault, httplib::Response& res) {
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(name, value);
    const bool drip = fault && fault->kind == FaultKind::Drip;
    const bool drop = fault && fault->kind == FaultKind::Drop;
    if (reply.generated) {
        writeGenerated(*reply.generated, reply.contentType, fault, res);
        return;
    }
    if (fault && fault->kind == FaultKind::Chunked) {
        auto body = std::make_shared<const std::string>(std::move(reply.body));
        res.set_chunked_content_provider(
            reply.contentType, [body](size_t offset, httplib::DataSink& sink) {
                const size_t piece = std::min<size_t>(body->size() - offset, 4096);
                if (piece > 0)
                    sink.write(body->data() + offset, piece);
                if (offset + piece >= body->size())
                    sink.done();
                return true;
            });
        return;
    }
    if (!drip && !drop) {
        res.set_content(reply.body, reply.contentType);
        return;
    }
    auto body = std::make_shared<const std::string>(std::move(reply.body));
    if (drop) {
        // Announce the whole body (at least two bytes), send half of it and close.
        const size_t length = std::max<size_t>(body->size(), 2);
        res.set_content_provider(length, reply.contentType,
                                 [body](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0 && body->size() >= 2) {
                                         sink.write(body->data(), body->size() / 2);
                                         return true;
                                     }
                                     return false;
                                 });
        return;
    }
    const double interval = fault->seconds;
    res.set_content_provider(
        body->size(), reply.contentType,
        [this, body, interval](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset > 0 && !pause(interval))
                return false;
            sink.write(body->data() + offset, 1);
            return true;
        });
}

void DemoService::Impl::writeGenerated(const GeneratedBody& body, const std::string& contentType,
                                       const Fault* fault, httplib::Response& res) {
    const FaultKind kind = fault ? fault->kind : FaultKind::ServerError;
    const int64_t limit = fault ? fault->bytes : 0;
    const double stallSeconds = fault ? fault->seconds : 0;
    // Counts the body while it is being sent.
    struct InFlight {
        Impl* impl;
        explicit InFlight(Impl* i) : impl(i) {
            std::lock_guard lock(impl->mutex);
            ++impl->transfersInFlight;
            impl->transfersHighWaterMark =
                std::max(impl->transfersHighWaterMark, impl->transfersInFlight);
        }
        ~InFlight() {
            std::lock_guard lock(impl->mutex);
            --impl->transfersInFlight;
        }
    };
    auto inFlight = std::make_shared<std::optional<InFlight>>();
    auto provider = [this, body, kind, limit, stallSeconds, inFlight](size_t offset, size_t length,
                                                                      httplib::DataSink& sink) {
        if (!*inFlight)
            inFlight->emplace(this);
        size_t piece = std::min<size_t>(length, 16384);
        if (kind == FaultKind::TruncateAfter || kind == FaultKind::StallAfter) {
            if (static_cast<int64_t>(offset) >= limit) {
                if (kind == FaultKind::TruncateAfter)
                    return false;
                stall(stallSeconds);
                return false;
            }
            piece = std::min<size_t>(piece, static_cast<size_t>(limit) - offset);
        }
        if (kind == FaultKind::Throttle && limit > 0) {
            piece = std::min<size_t>(piece, static_cast<size_t>(std::max<int64_t>(limit / 20, 1)));
            if (!pause(static_cast<double>(piece) / static_cast<double>(limit)))
                return false;
        }
        std::string bytes(piece, '\0');
        for (size_t i = 0; i < piece; ++i)
            bytes[i] = static_cast<char>(
                generatedByte(body.offset + static_cast<int64_t>(offset + i), body.seed));
        sink.write(bytes.data(), bytes.size());
        if (offset + piece >= static_cast<size_t>(body.length))
            inFlight->reset();
        return true;
    };
    res.set_content_provider(static_cast<size_t>(body.length), contentType, provider,
                             [inFlight](bool) { inFlight->reset(); });
}

DemoService::DemoService() : impl_(std::make_unique<Impl>()) {}

DemoService::~DemoService() {
    stop();
}

bool DemoService::start(int port) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->running)
        return false;
    auto server = std::make_unique<httplib::Server>();
    // The server takes ownership of the queue it is handed.
    server->new_task_queue = [] {
        return std::make_unique<httplib::ThreadPool>(kWorkerThreads).release();
    };
    // One request per connection: a kept-alive connection would hold a worker (and stop()) for
    // the whole keep-alive time-out.
    server->set_keep_alive_max_count(1);
    // Larger bodies are answered 413 before they are read.
    server->set_payload_max_length(kMaxBodyBytes);
    Impl* impl = impl_.get();
    auto handler = [impl](const httplib::Request& req, httplib::Response& res) {
        impl->handle(req, res);
    };
    server->Get(".*", handler);
    server->Post(".*", handler);
    server->Put(".*", handler);
    server->Delete(".*", handler);
    auto listening = std::make_shared<socket_t>(INVALID_SOCKET);
    server->set_socket_options([listening](socket_t sock) {
        httplib::default_socket_options(sock);
        *listening = sock;
    });
    int bound = -1;
    if (port == 0) {
        bound = server->bind_to_any_port("127.0.0.1");
    } else if (server->bind_to_port("127.0.0.1", port)) {
        bound = port;
    }
    if (bound <= 0)
        return false;
    // Listening again on the bound socket lengthens its queue.
    if (*listening != INVALID_SOCKET)
        ::listen(*listening, kAcceptQueue);
    impl_->port = bound;
    impl_->server = std::move(server);
    auto accepting = std::make_shared<std::atomic<bool>>(true);
    impl_->listener = std::thread([s = impl_->server.get(), accepting] {
        s->listen_after_bind();
        *accepting = false;
    });
    // The server ignores stop() until its accept loop runs: wait for it, so that a stop right
    // after start cannot miss.
    while (!impl_->server->is_running() && *accepting) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    impl_->running = true;
    impl_->stopping = false;
    return true;
}

void DemoService::stop() {
    std::unique_ptr<httplib::Server> server;
    std::thread listener;
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->running)
            return;
        impl_->stopping = true;
        ++impl_->releaseGeneration;
        server = std::move(impl_->server);
        listener = std::move(impl_->listener);
    }
    impl_->stallChanged.notify_all();
    server->stop();
    if (listener.joinable())
        listener.join();
    server.reset();
    std::lock_guard lock(impl_->mutex);
    impl_->running = false;
    impl_->stopping = false;
}

bool DemoService::isRunning() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->running;
}

int DemoService::port() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->port;
}

std::string DemoService::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port());
}

std::string DemoService::serviceUrl() const {
    return baseUrl() + servicePath();
}

void DemoService::setServicePath(std::string path) {
    std::lock_guard lock(impl_->mutex);
    impl_->servicePath = std::move(path);
}

std::string DemoService::servicePath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->servicePath;
}

void DemoService::addMethod(std::string name, MethodHandler handler) {
    addMethodWithRequest(
        std::move(name),
        [handler = std::move(handler)](const Json& body, Session& session, const RecordedRequest&) {
            return handler(body, session);
        });
}

void DemoService::addMethodWithRequest(std::string name, RequestMethodHandler handler) {
    std::lock_guard lock(impl_->mutex);
    impl_->methods[std::move(name)] = std::move(handler);
}

DemoService::RequestMethodHandler DemoService::methodHandler(const std::string& name) const {
    std::lock_guard lock(impl_->mutex);
    const auto it = impl_->methods.find(name);
    return it == impl_->methods.end() ? RequestMethodHandler() : it->second;
}

void DemoService::addFileProvider(std::string prefix, FileProvider provider) {
    std::lock_guard lock(impl_->mutex);
    impl_->fileProviders.emplace_back(std::move(prefix), std::move(provider));
}

void DemoService::setOpensSession(std::string name) {
    std::lock_guard lock(impl_->mutex);
    impl_->sessionOpeningMethods.insert(std::move(name));
}

void DemoService::setSessionStore(SessionLoader load, SessionSaver save) {
    std::lock_guard lock(impl_->mutex);
    impl_->loadSession = std::move(load);
    impl_->saveSession = std::move(save);
}

void DemoService::addFile(std::string path, std::string bytes, std::string contentType) {
    std::lock_guard lock(impl_->mutex);
    impl_->files[std::move(path)] = {std::move(bytes), std::move(contentType), std::nullopt};
}

void DemoService::addGeneratedFile(std::string path, int64_t size, uint32_t seed,
                                   std::string contentType) {
    std::lock_guard lock(impl_->mutex);
    impl_->files[std::move(path)] = {{}, std::move(contentType), std::make_pair(size, seed)};
}

uint8_t DemoService::generatedByte(int64_t position, uint32_t seed) {
    const auto x = static_cast<uint64_t>(position) * 2654435761u + seed * 40503u;
    return static_cast<uint8_t>((x >> 13) ^ (x >> 5) ^ static_cast<uint64_t>(position));
}

size_t DemoService::transfersInFlight() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->transfersInFlight;
}

size_t DemoService::transfersHighWaterMark() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->transfersHighWaterMark;
}

void DemoService::setFault(const std::string& name, Fault fault) {
    std::lock_guard lock(impl_->mutex);
    impl_->faultCalls[name] = 0;
    impl_->faults[name] = std::move(fault);
}

void DemoService::setFaultForNext(size_t count, Fault fault) {
    std::lock_guard lock(impl_->mutex);
    impl_->nextFaults.insert(impl_->nextFaults.end(), count, fault);
}

void DemoService::clearFaults() {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.clear();
    impl_->faultCalls.clear();
    impl_->nextFaults.clear();
}

void DemoService::releaseStalled() {
    {
        std::lock_guard lock(impl_->mutex);
        ++impl_->releaseGeneration;
    }
    impl_->stallChanged.notify_all();
}

void DemoService::releaseStalled(const std::string& name) {
    {
        std::lock_guard lock(impl_->mutex);
        ++impl_->releasesOfName[name];
    }
    impl_->stallChanged.notify_all();
}

size_t DemoService::stalledCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->stalled;
}

bool DemoService::waitForStalled(size_t count, double timeoutSeconds) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->stallChanged.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                        [&] { return impl_->stalled >= count; });
}

std::vector<RecordedRequest> DemoService::requests() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->recorded.begin(), impl_->recorded.end()};
}

std::vector<RecordedRequest> DemoService::requestsForMethod(std::string_view name) const {
    const std::string path = name.empty() ? servicePath() : servicePath() + "/" + std::string(name);
    std::vector<RecordedRequest> out;
    std::lock_guard lock(impl_->mutex);
    for (const auto& r : impl_->recorded) {
        if (r.method == "POST" && (r.path == path || r.path == std::string(kMovedPrefix) + path)) {
            out.push_back(r);
        }
    }
    return out;
}

void DemoService::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->recorded.clear();
    impl_->recordedBodyBytes = 0;
}

size_t DemoService::sessionCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->sessions.size();
}

}  // namespace demo
