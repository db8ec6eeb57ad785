#pragma once
// The request engine's error domain and codes: every error the engine makes is in
// "ASIHTTPRequestErrorDomain", with its message as the localized description.
#include <cstdint>
#include <string>

#include "platform/core/Error.h"

inline constexpr const char* NetworkRequestErrorDomain = "ASIHTTPRequestErrorDomain";

enum ASINetworkErrorType : int64_t {
    ASIConnectionFailureErrorType = 1,
    ASIRequestTimedOutErrorType = 2,
    ASIAuthenticationErrorType = 3,
    ASIRequestCancelledErrorType = 4,
    ASIUnableToCreateRequestErrorType = 5,
    ASIInternalErrorWhileBuildingRequestType = 6,
    ASIInternalErrorWhileApplyingCredentialsType = 7,
    ASIFileManagementError = 8,
    ASITooMuchRedirectionErrorType = 9,
    ASIUnhandledExceptionError = 10,
    ASICompressionError = 11,
    // A body kept in memory passed the request's limit.
    ASIResponseTooLargeErrorType = 12,
};

// An engine error with the message and, when given, the underlying error.
Ref<plat::Error> ASIMakeError(int64_t code, const std::string& message,
                              Ref<plat::Error> underlying = nullptr);
