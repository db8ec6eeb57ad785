#pragma once
// What a URL connection asks its delegate when a server wants credentials (401) or presents a
// certificate that does not verify: the protection space, the credential the shared storage
// proposes, how often this connection failed for it already, and the response or error that
// caused it. The delegate answers through the connection named as the challenge's sender.
#include <cstdint>
#include <optional>

#include "platform/core/Error.h"
#include "platform/net/HttpUrlResponse.h"
#include "platform/net/UrlCredentialStorage.h"

namespace plat {

class UrlConnection;

inline constexpr const char* NSURLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
inline constexpr const char* NSURLAuthenticationMethodHTTPBasic =
    "NSURLAuthenticationMethodHTTPBasic";
inline constexpr const char* NSURLAuthenticationMethodHTTPDigest =
    "NSURLAuthenticationMethodHTTPDigest";
inline constexpr const char* NSURLAuthenticationMethodNTLM = "NSURLAuthenticationMethodNTLM";
inline constexpr const char* NSURLAuthenticationMethodNegotiate =
    "NSURLAuthenticationMethodNegotiate";
inline constexpr const char* NSURLAuthenticationMethodServerTrust =
    "NSURLAuthenticationMethodServerTrust";
inline constexpr const char* NSURLAuthenticationMethodClientCertificate =
    "NSURLAuthenticationMethodClientCertificate";

struct UrlAuthenticationChallenge {
    ProtectionSpace protectionSpace;
    std::optional<UrlCredential> proposedCredential;
    int previousFailureCount = 0;
    std::optional<HttpUrlResponse> failureResponse;  // the 401 response
    Ref<Error> error;                                // server trust: why verification failed
    WeakRef<UrlConnection> sender;
    uint64_t serial = 0;  // which of the sender's challenges this is
};

// A response the connection could keep; the layer has no local cache, so the delegate's answer
// only says whether it may be kept.
struct CachedUrlResponse {
    HttpUrlResponse response;
};

}  // namespace plat
