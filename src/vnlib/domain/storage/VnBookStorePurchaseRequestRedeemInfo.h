#pragma once
// VnBookStorePurchaseRequestRedeemInfo: a purchase whose redemption with the store is pending,
// kept in the user's "PendingRedemptions" table. Each new record's code is a fresh UUID text.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnBookStorePurchaseRequestRedeemInfo : public VnInfo {
    PLAT_CLASS(VnBookStorePurchaseRequestRedeemInfo)
  public:
    VnBookStorePurchaseRequestRedeemInfo();
    static std::string generateUuidString();

    std::optional<std::string> purchaseCode_;
    std::optional<std::string> productType_;
    std::optional<std::string> transactionReceipt_;
};
