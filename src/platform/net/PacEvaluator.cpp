#include "platform/net/PacEvaluator.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "duktape.h"
#include "platform/core/Log.h"
#include "platform/net/HttpReadStream.h"

namespace plat {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int64_t kPacFileError = 311;

// What one evaluation's heap may use, and what stopped it.
struct HeapState {
    size_t used = 0;
    size_t limit = 0;
    SteadyClock::time_point deadline;
    bool timedOut = false;
    bool outOfMemory = false;
};

constexpr size_t kHeader = 16;  // keeps blocks 16-byte aligned

void* heapAlloc(void* udata, duk_size_t size) {
    auto* state = static_cast<HeapState*>(udata);
    if (size > state->limit - std::min(state->limit, state->used)) {
        state->outOfMemory = true;
        return nullptr;
    }
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (!block)
        return nullptr;
    *reinterpret_cast<size_t*>(block) = size;
    state->used += size;
    return block + kHeader;
}

void heapFree(void* udata, void* pointer) {
    if (!pointer)
        return;
    auto* state = static_cast<HeapState*>(udata);
    char* block = static_cast<char*>(pointer) - kHeader;
    state->used -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}

void* heapRealloc(void* udata, void* pointer, duk_size_t size) {
    if (!pointer)
        return heapAlloc(udata, size);
    if (size == 0) {
        heapFree(udata, pointer);
        return nullptr;
    }
    auto* state = static_cast<HeapState*>(udata);
    char* block = static_cast<char*>(pointer) - kHeader;
    const size_t old = *reinterpret_cast<size_t*>(block);
    if (size > old && size - old > state->limit - std::min(state->limit, state->used)) {
        state->outOfMemory = true;
        return nullptr;
    }
    auto* moved = static_cast<char*>(std::realloc(block, size + kHeader));
    if (!moved)
        return nullptr;
    *reinterpret_cast<size_t*>(moved) = size;
    state->used = state->used - old + size;
    return moved + kHeader;
}

[[noreturn]] void heapFatal(void*, const char* message) {
    plat::log(std::string("Proxy script interpreter failed: ") + (message ? message : ""));
    std::abort();
}

HeapState* heapStateOf(duk_context* context) {
    duk_memory_functions functions{};
    duk_get_memory_functions(context, &functions);
    return static_cast<HeapState*>(functions.udata);
}

// The first IPv4 address of a name, looked up on a thread of its own so that the wait ends at
// the deadline even when the resolver does not.
std::optional<std::string> resolveIpv4(const std::string& host, SteadyClock::time_point deadline) {
    in_addr literal{};
    if (inet_pton(AF_INET, host.c_str(), &literal) == 1)
        return host;
    struct Job {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::optional<std::string> address;
    };
    auto job = std::make_shared<Job>();
    std::thread([job, host] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        addrinfo* found = nullptr;
        std::optional<std::string> address;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
            if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text))
                address = text;
            freeaddrinfo(found);
        }
        std::lock_guard lock(job->mutex);
        job->address = std::move(address);
        job->finished = true;
        job->done.notify_all();
    }).detach();
    std::unique_lock lock(job->mutex);
    job->done.wait_until(lock, deadline, [&] { return job->finished; });
    return job->finished ? job->address : std::nullopt;
}

duk_ret_t jsDnsResolve(duk_context* context) {
    const std::string host = duk_safe_to_string(context, 0);
    if (auto address = resolveIpv4(host, heapStateOf(context)->deadline))
        duk_push_string(context, address->c_str());
    else
        duk_push_null(context);
    return 1;
}

duk_ret_t jsMyIpAddress(duk_context* context) {
    std::string address = "127.0.0.1";
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) == 0) {
        for (ifaddrs* i = interfaces; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text,
                      sizeof text);
            if (std::string_view(text).rfind("127.", 0) != 0) {
                address = text;
                break;
            }
        }
        freeifaddrs(interfaces);
    }
    duk_push_string(context, address.c_str());
    return 1;
}

// The helpers every auto-configuration script may call, besides the two native ones.
constexpr const char* kHelpers = R"JS(
function alert() {}
function isPlainHostName(host) { return String(host).indexOf('.') < 0; }
function dnsDomainIs(host, domain) {
  host = String(host).toLowerCase(); domain = String(domain).toLowerCase();
  return host.length >= domain.length && host.substring(host.length - domain.length) === domain;
}
function localHostOrDomainIs(host, hostdom) {
  host = String(host).toLowerCase(); hostdom = String(hostdom).toLowerCase();
  return host === hostdom || (host.indexOf('.') < 0 && hostdom.indexOf(host + '.') === 0);
}
function isResolvable(host) { return dnsResolve(host) !== null; }
function __ipNumber(ip) {
  var p = /^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})$/.exec(String(ip));
  if (!p) return null;
  var n = 0;
  for (var i = 1; i <= 4; i++) { var v = +p[i]; if (v > 255) return null; n = n * 256 + v; }
  return n;
}
function isInNet(host, pattern, mask) {
  var ip = __ipNumber(host) !== null ? String(host) : dnsResolve(host);
  if (ip === null) return false;
  var a = __ipNumber(ip), b = __ipNumber(pattern), m = __ipNumber(mask);
  if (a === null || b === null || m === null) return false;
  return ((a & m) >>> 0) === ((b & m) >>> 0);
}
function dnsDomainLevels(host) { return String(host).split('.').length - 1; }
function shExpMatch(str, shexp) {
  var re = String(shexp).replace(/[.+^${}()|[\]\\\/]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
  return new RegExp('^' + re + '$').test(String(str));
}
function __args(list) {
  var a = Array.prototype.slice.call(list), gmt = false;
  if (a.length && String(a[a.length - 1]).toUpperCase() === 'GMT') { gmt = true; a.pop(); }
  return { args: a, gmt: gmt };
}
function __inRange(from, to, now) { return from <= to ? (now >= from && now <= to) : (now >= from || now <= to); }
function weekdayRange() {
  var p = __args(arguments), days = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
  var now = new Date(), today = p.gmt ? now.getUTCDay() : now.getDay();
  var d1 = days.indexOf(String(p.args[0]).toUpperCase());
  var d2 = p.args.length > 1 ? days.indexOf(String(p.args[1]).toUpperCase()) : d1;
  if (d1 < 0 || d2 < 0) return false;
  return __inRange(d1, d2, today);
}
function dateRange() {
  var p = __args(arguments), a = p.args, now = new Date();
  var months = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
  var cur = { y: p.gmt ? now.getUTCFullYear() : now.getFullYear(),
              m: p.gmt ? now.getUTCMonth() : now.getMonth(),
              d: p.gmt ? now.getUTCDate() : now.getDate() };
  var parts = [];
  for (var i = 0; i < a.length; i++) {
    var v = a[i], month = months.indexOf(String(v).toUpperCase());
    if (month >= 0) { parts.push(['m', month]); continue; }
    v = +v;
    if (isNaN(v)) return false;
    parts.push([v > 31 ? 'y' : 'd', v]);
  }
  if (parts.length === 1) return cur[parts[0][0]] === parts[0][1];
  if (parts.length === 0 || parts.length % 2) return false;
  var half = parts.length / 2;
  function key(list, source) {
    var y = 0, m = 0, d = 0;
    for (var i = 0; i < list.length; i++) {
      var f = list[i][0];
      if (f === 'y') y = source ? source.y : list[i][1];
      if (f === 'm') m = source ? source.m : list[i][1];
      if (f === 'd') d = source ? source.d : list[i][1];
    }
    return (y * 100 + m) * 100 + d;
  }
  var first = parts.slice(0, half);
  return __inRange(key(first), key(parts.slice(half)), key(first, cur));
}
function timeRange() {
  var p = __args(arguments), a = p.args.map(Number), now = new Date();
  var h = p.gmt ? now.getUTCHours() : now.getHours(), mi = p.gmt ? now.getUTCMinutes() : now.getMinutes();
  var s = p.gmt ? now.getUTCSeconds() : now.getSeconds(), cur = h * 3600 + mi * 60 + s;
  if (a.length === 1) return h === a[0];
  if (a.length === 2) return __inRange(a[0] * 3600, a[1] * 3600 + 3599, cur);
  if (a.length === 4) return __inRange(a[0] * 3600 + a[1] * 60, a[2] * 3600 + a[3] * 60 + 59, cur);
  if (a.length === 6) return __inRange(a[0] * 3600 + a[1] * 60 + a[2], a[3] * 3600 + a[4] * 60 + a[5], cur);
  return false;
}
)JS";

Ref<Error> pacError(std::string text) {
    return Error::withDescription(kCFErrorDomainCFNetwork, kPacFileError, std::move(text));
}

}  // namespace

extern "C" duk_bool_t varnel_duk_exec_timeout_check(void* udata) {
    auto* state = static_cast<HeapState*>(udata);
    if (!state || SteadyClock::now() < state->deadline)
        return 0;
    state->timedOut = true;
    return 1;
}

PacEvaluator::Result PacEvaluator::proxiesForUrl(const std::string& script, const Url& url,
                                                 double timeLimitSeconds) {
    Result result;
    HeapState state;
    state.limit = kHeapLimitBytes;
    state.deadline = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                              std::chrono::duration<double>(timeLimitSeconds));
    duk_context* context = duk_create_heap(heapAlloc, heapRealloc, heapFree, &state, heapFatal);
    if (!context) {
        result.error = pacError("The proxy script interpreter could not start.");
        return result;
    }
    auto failure = [&](const char* what) {
        std::string reason = duk_safe_to_string(context, -1);
        if (state.timedOut)
            reason = "it ran longer than the time limit";
        else if (state.outOfMemory)
            reason = "it used more memory than allowed";
        result.error = pacError(std::string("The proxy script failed ") + what + ": " + reason);
    };

    duk_push_c_function(context, jsDnsResolve, 1);
    duk_put_global_string(context, "dnsResolve");
    duk_push_c_function(context, jsMyIpAddress, 0);
    duk_put_global_string(context, "myIpAddress");
    if (duk_peval_string(context, kHelpers) != 0) {
        failure("to start");
    } else {
        duk_pop(context);
        duk_push_lstring(context, script.data(), script.size());
        duk_push_string(context, "proxy.pac");
        if (duk_pcompile(context, 0) != 0 || duk_pcall(context, 0) != 0) {
            failure("to load");
        } else {
            duk_pop(context);
            if (!duk_get_global_string(context, "FindProxyForURL") ||
                !duk_is_function(context, -1)) {
                result.error = pacError("The proxy script has no FindProxyForURL function.");
            } else {
                duk_push_string(context, url.absoluteString().c_str());
                duk_push_string(context, url.host().c_str());
                if (duk_pcall(context, 2) != 0) {
                    failure("in FindProxyForURL");
                } else if (!duk_is_string(context, -1)) {
                    result.error = pacError("FindProxyForURL did not answer a text.");
                } else {
                    result.text = duk_get_string(context, -1);
                    result.proxies = ProxySettings::parsePacResult(result.text, url);
                    if (!result.proxies)
                        result.error = pacError("FindProxyForURL answered no usable proxy: " +
                                                result.text.substr(0, 200));
                }
            }
        }
    }
    duk_destroy_heap(context);
    return result;
}

}  // namespace plat
