#pragma once
// The failures of URL loading: the codes of NSURLErrorDomain that connections report, and the
// error value they fail with (the platform's description, the failing URL and, for diagnosis, the
// HTTP library's own text).
#include <cstdint>
#include <string_view>

#include "platform/core/Error.h"
#include "platform/net/Url.h"

namespace plat {

inline constexpr int64_t NSURLErrorUnknown = -1;
inline constexpr int64_t NSURLErrorCancelled = -999;
inline constexpr int64_t NSURLErrorBadURL = -1000;
inline constexpr int64_t NSURLErrorTimedOut = -1001;
inline constexpr int64_t NSURLErrorUnsupportedURL = -1002;
inline constexpr int64_t NSURLErrorCannotFindHost = -1003;
inline constexpr int64_t NSURLErrorCannotConnectToHost = -1004;
inline constexpr int64_t NSURLErrorNetworkConnectionLost = -1005;
inline constexpr int64_t NSURLErrorHTTPTooManyRedirects = -1007;
inline constexpr int64_t NSURLErrorNotConnectedToInternet = -1009;
inline constexpr int64_t NSURLErrorBadServerResponse = -1011;
inline constexpr int64_t NSURLErrorUserCancelledAuthentication = -1012;
inline constexpr int64_t NSURLErrorUserAuthenticationRequired = -1013;
inline constexpr int64_t NSURLErrorCannotDecodeContentData = -1016;
inline constexpr int64_t NSURLErrorRequestBodyStreamExhausted = -1021;
inline constexpr int64_t NSURLErrorSecureConnectionFailed = -1200;
inline constexpr int64_t NSURLErrorServerCertificateUntrusted = -1202;

// User-info keys of URL errors besides the localized description.
inline constexpr const char* NSURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";
inline constexpr const char* NSDebugDescriptionErrorKey = "NSDebugDescription";

// The platform's description of a code ("The request timed out." for NSURLErrorTimedOut).
std::string_view urlErrorDescription(int64_t code);
// An NSURLErrorDomain error for the URL; the detail, when given, goes under
// NSDebugDescriptionErrorKey.
Ref<Error> makeUrlError(int64_t code, const Url& url, std::string_view detail = {});

}  // namespace plat
