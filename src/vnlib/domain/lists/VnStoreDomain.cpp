#include "vnlib/domain/lists/VnStoreDomain.h"

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
    auto table = dataTable();
    table->replaceWithNewItems(items);
    table->flushStorageWriting();
}
