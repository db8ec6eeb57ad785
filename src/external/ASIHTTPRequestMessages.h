#pragma once
// The messages an ASIHTTPRequest sends by name, each declared once with its C++ types
// (plat::Message): to its queue (the request's life, its byte counts and its requests for
// credentials), to its delegate (a redirection followed) and to its progress indicators (the
// largest value, then the value reached). Every one is optional: sent only to a receiver that
// answers it. The queue's and the indicators' messages are also what a network queue sends on.
#include <cstdint>

#include "platform/core/Message.h"
#include "platform/core/Ref.h"

class ASIHTTPRequest;
namespace plat {
class Value;
}

struct ASIHTTPRequestQueueMessages {
    using Request = Ref<ASIHTTPRequest>;
    static constexpr plat::Message<void(const Request&)> kStarted{"requestStarted:"};
    static constexpr plat::Message<void(const Request&, const plat::Value&)>
        kDidReceiveResponseHeaders{"request:didReceiveResponseHeaders:"};
    static constexpr plat::Message<void(const Request&, const plat::Value&)> kWillRedirectToURL{
        "request:willRedirectToURL:"};
    static constexpr plat::Message<void(const Request&)> kFinished{"requestFinished:"};
    static constexpr plat::Message<void(const Request&)> kFailed{"requestFailed:"};
    static constexpr plat::Message<void(const Request&, uint64_t)> kDidReceiveBytes{
        "request:didReceiveBytes:"};
    static constexpr plat::Message<void(const Request&, int64_t)> kDidSendBytes{
        "request:didSendBytes:"};
    static constexpr plat::Message<void(const Request&, int64_t)> kIncrementDownloadSizeBy{
        "request:incrementDownloadSizeBy:"};
    static constexpr plat::Message<void(const Request&, int64_t)> kIncrementUploadSizeBy{
        "request:incrementUploadSizeBy:"};
    static constexpr plat::Message<void(const Request&)> kAuthenticationNeeded{
        "authenticationNeededForRequest:"};
    static constexpr plat::Message<void(const Request&)> kProxyAuthenticationNeeded{
        "proxyAuthenticationNeededForRequest:"};
};

struct ASIHTTPRequestDelegateMessages {
    static constexpr plat::Message<void(const Ref<ASIHTTPRequest>&)> kRedirected{
        "requestRedirected:"};
};

// What a progress indicator is told: its largest value (1.0), then the fraction reached.
struct ASIProgressIndicatorMessages {
    static constexpr plat::Message<void(double)> kSetMaxValue{"setMaxValue:"};
    static constexpr plat::Message<void(double)> kSetDoubleValue{"setDoubleValue:"};
};
