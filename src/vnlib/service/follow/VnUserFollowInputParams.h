#pragma once
// VnUserFollowInputParams: one follow or unfollow action of a signed-in user on a book category,
// a magazine category, an author or a publisher. The record chooses the web method itself and
// gives the request object {"accountId": number, "code": text}. A record whose follow type is not
// one of the four, or that has no follow code, is refused before anything is posted: the call
// that sends it finishes with failedResultIfInvalid() instead.
#include <optional>
#include <string>

#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/info/store/VnFollowInfo.h"
#include "vnlib/service/params/VnClientServiceParams.h"

class VnUserFollowInputParams : public VnClientServiceParams {
    PLAT_CLASS(VnUserFollowInputParams)
  public:
    // Follow type 0 (none) and isFollow NO.
    VnUserFollowInputParams(int32_t userId, std::optional<std::string> followCode);
    static Ref<VnUserFollowInputParams> initWithUserID(int32_t userId,
                                                       std::optional<std::string> followCode,
                                                       int32_t followType);
    static Ref<VnUserFollowInputParams> initWithUserID(int32_t userId,
                                                       std::optional<std::string> followCode,
                                                       int32_t followType, bool isFollow);

    int32_t userId() const { return userId_; }
    const std::optional<std::string>& followCode() const { return followCode_; }
    int32_t followType() const { return followType_; }
    bool isFollow() const { return isFollow_; }

    // getSubmitWebMethod when isFollow, else getUnFollowWebMethod.
    std::string getWebMethod() const;
    // The web method for the follow type; "None" for type 0 and for any type outside the table.
    std::string getSubmitWebMethod() const;
    std::string getUnFollowWebMethod() const;
    // {"accountId": the account id as a number, "code": the follow code (null when missing)}.
    Ref<plat::Dictionary> getRequestParams() const;

    // Whether the record names a real follow type (1 to 4) and a non-empty follow code.
    bool isValid() const;
    // Null for a valid record; otherwise the failed result the call finishes with, without
    // posting anything.
    Ref<VnRequestResult> failedResultIfInvalid() const;

  private:
    int32_t userId_ = 0;
    std::optional<std::string> followCode_;
    int32_t followType_ = VnFollowTypeNone;
    bool isFollow_ = false;
};
