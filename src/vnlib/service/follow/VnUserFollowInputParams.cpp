#include "vnlib/service/follow/VnUserFollowInputParams.h"

#include <array>

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnUserFollowInputParams, VnClientServiceParams, [](auto& c) {
    c.property("userId", "Ti,R,N,VuserId_", &VnUserFollowInputParams::userId)
        .property("followCode", "T@\"NSString\",R,C,N,VfollowCode_",
                  &VnUserFollowInputParams::followCode)
        .property("followType", "Ti,R,N,VfollowType_", &VnUserFollowInputParams::followType)
        .property("isFollow", "Tc,R,N,VisFollow_", &VnUserFollowInputParams::isFollow);
})

namespace {

constexpr std::array<const char*, 5> kSubmitMethods = {
    "None", "SubmitUserFollowBookCategory", "SubmitUserFollowMagazineCategory",
    "SubmitUserFollowAuthor", "SubmitUserFollowPublisher"};
constexpr std::array<const char*, 5> kUnFollowMethods = {"None", "UnFollowBookCategory",
                                                         "UnFollowMagazineCategory",
                                                         "UnFollowAuthor", "UnFollowPublisher"};

bool inTable(int32_t type) {
    return type >= 0 && type < static_cast<int32_t>(kSubmitMethods.size());
}

}  // namespace

VnUserFollowInputParams::VnUserFollowInputParams(int32_t userId,
                                                 std::optional<std::string> followCode)
    : userId_(userId), followCode_(std::move(followCode)) {}

Ref<VnUserFollowInputParams> VnUserFollowInputParams::initWithUserID(
    int32_t userId, std::optional<std::string> followCode, int32_t followType) {
    auto params = std::make_shared<VnUserFollowInputParams>(userId, std::move(followCode));
    params->followType_ = followType;
    return params;
}

Ref<VnUserFollowInputParams> VnUserFollowInputParams::initWithUserID(
    int32_t userId, std::optional<std::string> followCode, int32_t followType, bool isFollow) {
    auto params = initWithUserID(userId, std::move(followCode), followType);
    params->isFollow_ = isFollow;
    return params;
}

std::string VnUserFollowInputParams::getWebMethod() const {
    return isFollow_ ? getSubmitWebMethod() : getUnFollowWebMethod();
}

std::string VnUserFollowInputParams::getSubmitWebMethod() const {
    return inTable(followType_) ? kSubmitMethods[static_cast<size_t>(followType_)] : "None";
}

std::string VnUserFollowInputParams::getUnFollowWebMethod() const {
    return inTable(followType_) ? kUnFollowMethods[static_cast<size_t>(followType_)] : "None";
}

Ref<plat::Dictionary> VnUserFollowInputParams::getRequestParams() const {
    return plat::makeDictionary(
        {{plat::Value("accountId"), plat::Value(userId_)},
         {plat::Value("code"), followCode_ ? plat::Value(*followCode_) : plat::Value::null()}});
}

bool VnUserFollowInputParams::isValid() const {
    return followType_ >= VnFollowTypeBookCategory && followType_ <= VnFollowTypePublisher &&
           followCode_ && !followCode_->empty();
}

Ref<VnRequestResult> VnUserFollowInputParams::failedResultIfInvalid() const {
    if (followType_ < VnFollowTypeBookCategory || followType_ > VnFollowTypePublisher) {
        return VnRequestResult::failedResultWithErrorMessage("Invalid follow type");
    }
    if (!followCode_ || followCode_->empty()) {
        return VnRequestResult::failedResultWithErrorMessage("Missing follow code");
    }
    return nullptr;
}
