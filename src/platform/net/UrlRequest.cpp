#include "platform/net/UrlRequest.h"

#include <cmath>

namespace plat {

UrlRequest::UrlRequest(Url url, CachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), cachePolicy_(cachePolicy) {
    setTimeoutInterval(timeoutInterval);
}

void UrlRequest::setHttpMethod(std::string method) {
    method_ = method.empty() ? std::string("GET") : std::move(method);
}

std::optional<std::string> UrlRequest::valueForHttpHeaderField(std::string_view name) const {
    return headers_.first(name);
}

void UrlRequest::setValueForHttpHeaderField(std::optional<std::string_view> value,
                                            std::string_view name) {
    if (value) {
        headers_.set(name, *value);
    } else {
        headers_.remove(name);
    }
}

void UrlRequest::setTimeoutInterval(double seconds) {
    timeout_ = (std::isfinite(seconds) && seconds > 0) ? seconds : kDefaultTimeoutInterval;
}

}  // namespace plat
