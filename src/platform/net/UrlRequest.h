#pragma once
// plat::UrlRequest: what a URL connection sends: the URL, the method (GET unless set), header
// fields in order (a later field of the same name, in any case, replaces the earlier value), the
// body bytes (or a stream to read them from), an idle time-out, a cache policy and whether the
// shared cookie store is used. A plain value: copy it to change it (a copy shares the body
// stream).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Value.h"
#include "platform/net/HttpHeaderFields.h"
#include "platform/net/Url.h"
#include "platform/storage/InputStream.h"

namespace plat {

class UrlRequest {
  public:
    // The values of the platform's cache policies. There is no local cache; with
    // ReloadIgnoringLocalAndRemoteCacheData the request also tells caches on the way not to
    // answer ("Cache-Control: no-cache").
    enum class CachePolicy : int {
        UseProtocolCachePolicy = 0,
        ReloadIgnoringLocalCacheData = 1,
        ReturnCacheDataElseLoad = 2,
        ReturnCacheDataDontLoad = 3,
        ReloadIgnoringLocalAndRemoteCacheData = 4,
        ReloadRevalidatingCacheData = 5,
    };

    static constexpr double kDefaultTimeoutInterval = 60.0;

    UrlRequest() = default;
    explicit UrlRequest(Url url, CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy,
                        double timeoutInterval = kDefaultTimeoutInterval);

    const Url& url() const { return url_; }
    void setUrl(Url url) { url_ = std::move(url); }

    const std::string& httpMethod() const { return method_; }
    void setHttpMethod(std::string method);

    const HttpHeaderFields& allHttpHeaderFields() const { return headers_; }
    std::optional<std::string> valueForHttpHeaderField(std::string_view name) const;
    // Sets a field; a field of the same name set before is replaced in its place. Nothing as the
    // value removes the field.
    void setValueForHttpHeaderField(std::optional<std::string_view> value, std::string_view name);

    const Bytes& httpBody() const { return body_; }
    // Setting a body drops the body stream, and setting a body stream drops the body.
    void setHttpBody(Bytes body) {
        body_ = std::move(body);
        bodyStream_.reset();
    }
    void setHttpBody(std::string_view text) { setHttpBody(Bytes(text.begin(), text.end())); }

    // The body read from a stream, on the network thread, from its start; its length is sent as
    // "Content-Length" when the request sets that field, else the body goes chunked. A stream is
    // read once: a connection that sends the request again asks its delegate for a new one.
    const Ref<InputStream>& httpBodyStream() const { return bodyStream_; }
    void setHttpBodyStream(Ref<InputStream> stream) {
        bodyStream_ = std::move(stream);
        body_.clear();
    }

    // Seconds the connection may stay idle (connecting, or waiting for the next bytes) before it
    // fails with "The request timed out."; a value that is not positive means the default.
    double timeoutInterval() const { return timeout_; }
    void setTimeoutInterval(double seconds);

    CachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(CachePolicy policy) { cachePolicy_ = policy; }

    // True (the default): send the shared store's cookies for the URL and keep the cookies of
    // every response, redirects included.
    bool httpShouldHandleCookies() const { return handleCookies_; }
    void setHttpShouldHandleCookies(bool handle) { handleCookies_ = handle; }

  private:
    Url url_;
    std::string method_ = "GET";
    HttpHeaderFields headers_;
    Bytes body_;
    Ref<InputStream> bodyStream_;
    double timeout_ = kDefaultTimeoutInterval;
    CachePolicy cachePolicy_ = CachePolicy::UseProtocolCachePolicy;
    bool handleCookies_ = true;
};

}  // namespace plat
