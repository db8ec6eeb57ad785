#include "auxiliary/bookstore/VnBookstoreDownloadCenter.h"

#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(VnBookstoreDownloadCenter, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnMagazineIssueContextCollection, plat::Object, PLAT_NO_METHODS)

VnBookstoreDownloadCenter::VnBookstoreDownloadCenter()
    : multicastDelegate_(std::make_shared<MulticastDelegate>()) {}

const Ref<VnBookstoreDownloadCenter>& VnBookstoreDownloadCenter::defaultCenter() {
    static const Ref<VnBookstoreDownloadCenter> center =
        std::make_shared<VnBookstoreDownloadCenter>();
    return center;
}

void VnBookstoreDownloadCenter::addDownloadObserver(const Ref<plat::Object>& observer) {
    multicastDelegate_->addDelegate(observer);
}

void VnBookstoreDownloadCenter::removeDownloadObserver(const Ref<plat::Object>& observer) {
    multicastDelegate_->removeDelegate(observer);
}

void VnBookstoreDownloadCenter::notifyShouldStopDownloadWithIssueInfo(
    const Ref<VnMagazineIssueInfo>& info) {
    plat::send(multicastDelegate_, VnBookstoreDownloadCenterListener::kShouldStopDownload,
               shared_from_this(), info);
}

VnMagazineIssueContextCollection::VnMagazineIssueContextCollection(
    std::vector<Ref<VnMagazineIssueInfo>> infos, const Ref<VnBookStoreUserContext>& userContext)
    : infos_(std::move(infos)) {
    for (const auto& info : infos_) {
        if (info && userContext)
            contexts_[info->code().value_or("")] = userContext->magazineIssueContextWithInfo(info);
    }
}

Ref<VnMagazineIssueContextCollection> VnMagazineIssueContextCollection::initWithInfos(
    std::vector<Ref<VnMagazineIssueInfo>> infos, const Ref<VnBookStoreUserContext>& userContext) {
    return std::make_shared<VnMagazineIssueContextCollection>(std::move(infos), userContext);
}

Ref<VnMagazineIssueContext> VnMagazineIssueContextCollection::contextWithInfo(
    const Ref<VnMagazineIssueInfo>& info) const {
    if (!info)
        return nullptr;
    const auto it = contexts_.find(info->code().value_or(""));
    return it == contexts_.end() ? nullptr : it->second;
}
