#include "vnlib/service/params/VnGetMagazineIssueInfosParams.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnGetMetaMagazineIssueInfosParams, VnClientServiceParams, [](auto& c) {
    c.property("magazineType", "T@\"NSString\",R,C,N",
               &VnGetMetaMagazineIssueInfosParams::magazineType)
        .property("magazineCode", "T@\"NSString\",R,C,N",
                  &VnGetMetaMagazineIssueInfosParams::magazineCode)
        .property("start", "Ti,R,N", &VnGetMetaMagazineIssueInfosParams::start)
        .property("length", "Ti,R,N", &VnGetMetaMagazineIssueInfosParams::length);
})

PLAT_DEFINE_CLASS(VnGetMagazineIssueInfosParams, VnClientServiceParams, [](auto& c) {
    c.property("magazineIssueCodes", "T@\"NSArray\",R,C,N",
               &VnGetMagazineIssueInfosParams::magazineIssueCodes);
})

void VnGetMetaMagazineIssueInfosParams::initWithCode(std::optional<std::string> code,
                                                     std::optional<std::string> type,
                                                     VnIndexRange indexRange) {
    magazineCode_ = std::move(code);
    magazineType_ = std::move(type);
    itemIndexRange_ = indexRange;
}

void VnGetMetaMagazineIssueInfosParams::initWithType(std::optional<std::string> type,
                                                     std::optional<std::string> bookCategory,
                                                     VnIndexRange indexRange) {
    magazineType_ = std::move(type);
    bookCategory_ = std::move(bookCategory);
    itemIndexRange_ = indexRange;
}

void VnGetMagazineIssueInfosParams::initWithMagazineIssueCodes(
    const Ref<plat::Array>& magazineIssueCodes) {
    magazineIssueCodes_ = magazineIssueCodes ? magazineIssueCodes->copy() : nullptr;
}
