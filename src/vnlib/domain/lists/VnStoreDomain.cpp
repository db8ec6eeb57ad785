#include "vnlib/domain/lists/VnStoreDomain.h"

#include "platform/core/Log.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

PLAT_DEFINE_CLASS(VnStoreDomain, VnDomain, PLAT_NO_METHODS)

VnStoreDomain::VnStoreDomain(const Ref<plat::Object>& userContext, const plat::Class& itemClass,
                             Ref<VnRequestContext> itemsRequest, Ref<VnLocalArchive> archiveTarget)
    : VnDomain(userContext, itemClass, std::move(itemsRequest)),
      archiveTarget_(std::move(archiveTarget)),
      dataTableName_(itemClass.name()) {
    PLAT_PARAMETER_ASSERT(archiveTarget_);
}

namespace {
Ref<VnLocalArchive> storeArchiveOf(const Ref<plat::Object>& userContext) {
    auto subobject = std::dynamic_pointer_cast<VnBookStoreContextSubobject>(userContext);
    auto context = subobject ? subobject->context() : nullptr;
    return context ? context->localStorage()->storeLocalArchive() : nullptr;
}
}  // namespace

VnStoreDomain::VnStoreDomain(const Ref<plat::Object>& userContext, const plat::Class& itemClass,
                             Ref<VnRequestContext> itemsRequest)
    : VnStoreDomain(userContext, itemClass, std::move(itemsRequest), storeArchiveOf(userContext)) {}

Ref<VnLocalDataTable> VnStoreDomain::dataTable() const {
    return archiveTarget_->tableWithName(dataTableName_, itemClass());
}

VnInfoList VnStoreDomain::itemsFromPersistentStorage() {
    return dataTable()->takeItems();
}

void VnStoreDomain::persistItems(const VnInfoList& items) {
    // The service may answer records without their code: they are held but have no place in
    // the table.
    VnInfoList coded;
    for (const auto& item : items) {
        if (item && item->code())
            coded.push_back(item);
        else
            VND_TRACE("Error", "A %s without a code is not stored in %s",
                      itemClass().name().c_str(), dataTableName_.c_str());
    }
    auto table = dataTable();
    table->replaceWithNewItems(coded);
    table->flushStorageWriting();
}
