#pragma once
// VnRequestResult: the immutable outcome of a request: succeeded (0), failed (1) or cancelled by
// the user (2), with the return value, the error and the parameters the request was made with.
#include <optional>
#include <string>

#include "platform/core/Error.h"
#include "platform/core/Value.h"

inline constexpr const char* VnRequestDomain = "VnRequestDomain";

class VnRequestResult : public plat::Object {
    PLAT_CLASS(VnRequestResult)
  public:
    enum State : int32_t { Succeeded = 0, Failed = 1, UserCancelled = 2 };

    // State 1 when the error is non-null, else 0.
    VnRequestResult(plat::Value returnValue, Ref<plat::Error> error);
    VnRequestResult(plat::Value requestParams, plat::Value returnValue, Ref<plat::Error> error);
    explicit VnRequestResult(int32_t state);

    // The same as new objects kept until the end of the current run-loop turn unless kept.
    static Ref<VnRequestResult> resultWithReturnValue(plat::Value returnValue,
                                                      Ref<plat::Error> error);
    static Ref<VnRequestResult> resultWithRequestParams(plat::Value requestParams,
                                                        plat::Value returnValue,
                                                        Ref<plat::Error> error);
    static Ref<VnRequestResult> succeedResult();
    // State 1 with an error of domain "VnRequestDomain", code 0, and the text as its description.
    static Ref<VnRequestResult> failedResultWithErrorMessage(const std::string& message);
    // The one shared cancel result (state 2, no value, no error).
    static Ref<VnRequestResult> cancel();

    const plat::Value& requestParams() const { return requestParams_; }
    const plat::Value& returnValue() const { return returnValue_; }
    const Ref<plat::Error>& error() const { return error_; }
    int32_t state() const { return state_; }
    bool succeed() const { return state_ == Succeeded; }
    bool isUserCancelled() const { return state_ == UserCancelled; }
    // The error's localized description; none when there is no error.
    std::optional<std::string> errorMessage() const;
    std::string description() const override;

  private:
    plat::Value requestParams_;
    plat::Value returnValue_;
    Ref<plat::Error> error_;
    int32_t state_;
};
