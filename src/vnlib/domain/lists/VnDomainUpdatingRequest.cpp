#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"

#include "platform/core/Collections.h"
#include "vnlib/dev/util/VndDiags.h"

PLAT_DEFINE_CLASS(VnDomainUpdatingRequest, VnRequestContext, [](auto& c) {
    c.method("activeRequest_request:didFinishWithResult:",
             &VnDomainUpdatingRequest::activeRequest_request_didFinishWithResult);
})

VnDomainUpdatingRequest::VnDomainUpdatingRequest(Ref<VnDomain> domain,
                                                 Ref<VnRequestContext> itemsRequest,
                                                 Ref<VnLocalSnapshot> previousSnapshot)
    : domain_(std::move(domain)),
      activeRequest_(std::move(itemsRequest)),
      previousSnapshot_(std::move(previousSnapshot)) {
    PLAT_ASSERT(activeRequest_, "Invalid parameter not satisfying: request");
    PLAT_PARAMETER_ASSERT(domain_);
    PLAT_PARAMETER_ASSERT(previousSnapshot_);
}

VnDomainUpdatingRequest::VnDomainUpdatingRequest(Ref<VnDomain> domain,
                                                 plat::Selector itemRequestFactorySelector,
                                                 Ref<VnLocalSnapshot> previousSnapshot)
    : domain_(std::move(domain)),
      previousSnapshot_(std::move(previousSnapshot)),
      itemRequestFactorySelector_(itemRequestFactorySelector) {
    PLAT_PARAMETER_ASSERT(domain_);
    PLAT_ASSERT(itemRequestFactorySelector_, "Invalid parameter not satisfying: selector");
    PLAT_PARAMETER_ASSERT(previousSnapshot_);
}

void VnDomainUpdatingRequest::setDomain(Ref<VnDomain> domain) {
    PLAT_PARAMETER_ASSERT(domain);
    domain_ = std::move(domain);
}

VnInfoList VnDomainUpdatingRequest::itemsByRequestReturnValue(
    const plat::Value& returnValue) const {
    VnInfoList items;
    if (returnValue.isNilOrNull())
        return items;
    if (auto list = returnValue.array()) {
        items.reserve(list->count());
        list->enumerate([&](const plat::Value& element) {
            if (auto item = element.as<VnInfo>())
                items.push_back(std::move(item));
            else
                VND_TRACE("Error", "Skipped a list element that is not a record: %s",
                          element.description().c_str());
            return true;
        });
    } else if (auto item = returnValue.as<VnInfo>()) {
        items.push_back(std::move(item));
    } else {
        VND_TRACE("Error", "Ignored an answer that is not a record: %s",
                  returnValue.description().c_str());
    }
    return items;
}

Ref<VnUpdatedLocalSnapshot> VnDomainUpdatingRequest::takeLocalSnapshotWithUpdateFlag(
    bool hasUpdated) {
    if (updateRange_.length > 0)
        return domain_->takeLocalSnapshotWithUpdateFlag(hasUpdated, updateRange_);
    return domain_->takeLocalSnapshotWithUpdateFlag(hasUpdated);
}

void VnDomainUpdatingRequest::coreStart() {
    const bool ranged = updateRange_.length > 0;
    if (ranged && updateRange_.location + updateRange_.length < previousSnapshot_->items().size())
        previousSnapshot_ = VnLocalSnapshot::empty();

    if (!domain_->snapshotShouldUpdate(previousSnapshot_) && !forceUpdate_) {
        auto snapshot = takeLocalSnapshotWithUpdateFlag(false);
        coreQueueNotifyFinishWithResult(
            VnRequestResult::resultWithReturnValue(plat::Value::fromObject(snapshot), nullptr));
        return;
    }

    if (!activeRequest_ && itemRequestFactorySelector_) {
        activeRequest_ =
            plat::send<Ref<VnRequestContext>>(domain_, itemRequestFactorySelector_, updateRange_);
    }
    if (!activeRequest_) {
        coreQueueNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("No request to update the list"));
        return;
    }

    if (ranged) {
        auto params = std::make_shared<plat::MutableDictionary>();
        params->setObject(
            plat::Value(plat::Number::fromInt64(static_cast<int32_t>(updateRange_.location), 'i')),
            plat::Value("start"));
        params->setObject(
            plat::Value(plat::Number::fromInt64(static_cast<int32_t>(updateRange_.length), 'i')),
            plat::Value("length"));
        activeRequest_->setCustomParams(params);
    } else {
        activeRequest_->setCustomParams(nullptr);
    }

    if (activeRequest_->running()) {
        // A request handed in that runs already: share its outcome.
        activeRequest_ = activeRequest_->jointRequest();
    }
    domain_->executeRequest(activeRequest_, self(), "activeRequest_");
    coreReportProgress(VnRequestProgressMake(0.0F, 1.0F));
}

void VnDomainUpdatingRequest::coreCancel() {
    if (activeRequest_)
        domain_->cancelRequest(activeRequest_);
}

void VnDomainUpdatingRequest::activeRequest_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result->succeed()) {
        coreNotifyFinishWithResult(result);
        return;
    }
    if (auto rejected = rejectRemoteValue(result->returnValue())) {
        coreNotifyFinishWithResult(rejected);
        return;
    }
    coreNotifyRemoteItemsAvailable(itemsByRequestReturnValue(result->returnValue()));
}

void VnDomainUpdatingRequest::coreNotifyRemoteItemsAvailable(const VnInfoList& items) {
    domain_->notifyItemLoaded(items);
    if (updateRange_.length == 0)
        domain_->markUpdated();
    auto snapshot = takeLocalSnapshotWithUpdateFlag(true);
    coreNotifyFinishWithResult(
        VnRequestResult::resultWithReturnValue(plat::Value::fromObject(snapshot), nullptr));
}

void VnDomainUpdatingRequest::notifyItemUpdateDelegate(plat::Selector sel,
                                                       const VnInfoList& items) {
    plat::sendIfResponds(itemUpdateDelegate_, sel, self<VnDomainUpdatingRequest>(),
                         VnInfoListValue(items));
}

void VnDomainUpdatingRequest::notifyItemUpdateDelegate(plat::Selector sel,
                                                       const VnChangeList& changes) {
    plat::sendIfResponds(itemUpdateDelegate_, sel, self<VnDomainUpdatingRequest>(),
                         VnChangeListValue(changes));
}
