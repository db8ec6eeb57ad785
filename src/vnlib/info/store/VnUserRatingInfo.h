#pragma once
// VnUserRatingInfo: the user's own rating of a store item.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnUserRatingInfo : public VnInfo {
    PLAT_CLASS(VnUserRatingInfo)
  public:
    std::optional<std::string> itemId_;
    int32_t rate_ = 0;
};
