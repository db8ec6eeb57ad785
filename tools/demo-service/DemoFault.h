#pragma once
// demo::Fault: a way for the demo service to misbehave on purpose, so that clients can be tested
// against unauthorised, broken, slow, stalled, dropped and redirected replies.
#include <cstdint>
#include <string>

namespace demo {

enum class FaultKind {
    Unauthorized,   // 401 with a JSON message
    ServerError,    // 500 with a JSON body {"Message": ..., "ExceptionType": ...}
    NotJson,        // 200 with an HTML text instead of JSON
    NullResult,     // {"d": null}
    EmptyObject,    // {}
    ResultMember,   // {"<Method>Result": result} instead of {"d": result}
    Stall,          // no reply until released (or `seconds` pass), then the normal reply
    StallThenFail,  // no reply until released (or `seconds` pass), then ServerError's reply
    Drip,           // the normal reply, one byte every `seconds`
    Drop,           // the headers and half of the body, then the connection is closed
    Redirect,       // `status` (307 unless set) to `location` (default: "/moved" + the asked path)
    Status,         // the normal reply, but with `status`
    HtmlStatus,     // `status` with an HTML error page
    // Files only:
    IgnoreRange,  // the whole file with 200, whatever "Range" asks
    WrongRange,   // a ranged request answered 206 from byte 0 (the "Content-Range" says so)
    Chunked,      // the body without a length (chunked transfer)
    // Generated files only (addGeneratedFile):
    TruncateAfter,  // the full length announced, `bytes` bytes sent, then the connection closed
    StallAfter,     // `bytes` bytes sent, then nothing until released (or `seconds` pass)
    Throttle,       // the body at `bytes` bytes a second
};

struct Fault {
    FaultKind kind = FaultKind::ServerError;
    // Stall: the longest wait, 0 meaning until released (or the service stops).
    // Drip: the pause before each byte after the first.
    double seconds = 0;
    // Redirect: the target, a path or an absolute URL; empty means "/moved" + the asked path.
    std::string location;
    // Redirect, Status, HtmlStatus: the status code.
    int status = 307;
    // TruncateAfter, StallAfter: a count of body bytes; Throttle: bytes a second.
    int64_t bytes = 0;
    // For a fault set on a name: the first `afterCalls` calls of that name are served normally,
    // then `calls` calls misbehave (0: every later call).
    int64_t afterCalls = 0;
    int64_t calls = 0;

    static Fault stall(double maxSeconds = 0) { return {FaultKind::Stall, maxSeconds, {}}; }
    static Fault stallThenFail(double maxSeconds = 0) {
        return {FaultKind::StallThenFail, maxSeconds, {}};
    }
    static Fault drip(double interval) { return {FaultKind::Drip, interval, {}}; }
    static Fault redirect(std::string location = {}, int status = 307) {
        return {FaultKind::Redirect, 0, std::move(location), status};
    }
    static Fault withStatus(int status) { return {FaultKind::Status, 0, {}, status}; }
    static Fault htmlStatus(int status) { return {FaultKind::HtmlStatus, 0, {}, status}; }
    static Fault truncateAfter(int64_t bytes) {
        return {FaultKind::TruncateAfter, 0, {}, 0, bytes};
    }
    static Fault stallAfter(int64_t bytes, double maxSeconds = 0) {
        return {FaultKind::StallAfter, maxSeconds, {}, 0, bytes};
    }
    static Fault throttle(int64_t bytesPerSecond) {
        return {FaultKind::Throttle, 0, {}, 0, bytesPerSecond};
    }
};

}  // namespace demo
