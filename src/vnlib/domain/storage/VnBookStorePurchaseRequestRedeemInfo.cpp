#include "vnlib/domain/storage/VnBookStorePurchaseRequestRedeemInfo.h"

#include "platform/core/Property.h"
#include "platform/crypto/Uuid.h"

PLAT_DEFINE_CLASS(VnBookStorePurchaseRequestRedeemInfo, VnInfo, [](auto& c) {
    using C = VnBookStorePurchaseRequestRedeemInfo;
    c.property("purchaseCode", "T@\"NSString\",C,N,VpurchaseCode_", &C::purchaseCode_)
        .property("productType", "T@\"NSString\",C,N,VproductType_", &C::productType_)
        .property("transactionReceipt", "T@\"NSString\",C,N,VtransactionReceipt_",
                  &C::transactionReceipt_);
})

VnBookStorePurchaseRequestRedeemInfo::VnBookStorePurchaseRequestRedeemInfo() {
    setCode(generateUuidString());
}

std::string VnBookStorePurchaseRequestRedeemInfo::generateUuidString() {
    return plat::Uuid::createString();
}
