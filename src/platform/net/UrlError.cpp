#include "platform/net/UrlError.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/core/Collections.h"

namespace plat {

std::string_view urlErrorDescription(int64_t code) {
    switch (code) {
        case NSURLErrorCancelled:
            return "cancelled";
        case NSURLErrorBadURL:
            return "bad URL";
        case NSURLErrorTimedOut:
            return "The request timed out.";
        case NSURLErrorUnsupportedURL:
            return "unsupported URL";
        case NSURLErrorCannotFindHost:
            return "A server with the specified hostname could not be found.";
        case NSURLErrorCannotConnectToHost:
            return "Could not connect to the server.";
        case NSURLErrorNetworkConnectionLost:
            return "The network connection was lost.";
        case NSURLErrorHTTPTooManyRedirects:
            return "too many HTTP redirects";
        case NSURLErrorNotConnectedToInternet:
            return "The Internet connection appears to be offline.";
        case NSURLErrorBadServerResponse:
            return "bad server response";
        case NSURLErrorCannotDecodeContentData:
            return "cannot decode content data";
        case NSURLErrorSecureConnectionFailed:
            return "An SSL error has occurred and a secure connection to the server cannot be "
                   "made.";
        case NSURLErrorServerCertificateUntrusted:
            return "The certificate for this server is invalid.";
        default:
            return "unknown error";
    }
}

Ref<Error> makeUrlError(int64_t code, const Url& url, std::string_view detail) {
    std::vector<std::pair<Value, Value>> info = {
        {Value(NSLocalizedDescriptionKey), Value(urlErrorDescription(code))},
        {Value(NSURLErrorFailingURLStringErrorKey), Value(url.absoluteString())},
    };
    if (!detail.empty())
        info.emplace_back(Value(NSDebugDescriptionErrorKey), Value(detail));
    return Error::make(NSURLErrorDomain, code, makeDictionary(std::move(info)));
}

}  // namespace plat
