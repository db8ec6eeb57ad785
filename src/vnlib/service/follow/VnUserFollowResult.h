#pragma once
// VnUserFollowResult: the answer of a follow or unfollow call: the service's message, its result
// code and whether the user now follows.
#include <optional>
#include <string>

#include "vnlib/service/v2/VnRemoteReturnValue.h"

class VnUserFollowResult : public VnRemoteReturnValue {
    PLAT_CLASS(VnUserFollowResult)
  public:
    VnUserFollowResult() = default;
    VnUserFollowResult(std::optional<std::string> message, int32_t resultCode, bool isFollow)
        : message_(std::move(message)), resultCode_(resultCode), isFollow_(isFollow) {}
    static Ref<VnUserFollowResult> successWithMessage(std::optional<std::string> message,
                                                      int32_t resultCode, bool isFollow);

    // Reads "Message" (its text; nothing when missing or null), "ResultCode" (0 when missing)
    // and "IsFollow" (NO when missing).
    void loadFromDictionary(const plat::Dictionary& dictionary) override;

    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
    int32_t resultCode() const { return resultCode_; }
    bool isFollow() const { return isFollow_; }

  private:
    std::optional<std::string> message_;
    int32_t resultCode_ = 0;
    bool isFollow_ = false;
};
