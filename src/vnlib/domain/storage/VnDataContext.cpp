#include "vnlib/domain/storage/VnDataContext.h"

#include <limits>

#include "platform/core/Log.h"

PLAT_DEFINE_CLASS(VnDataContext, VndObject, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnCoreDataContext, VnDataContext, PLAT_NO_METHODS)

void VnDataContext::notImplemented() const {
    plat::raise(plat::NSInternalInconsistencyException, "Method not implemented");
}

void VnDataContext::_addInfo(const Row&) {
    notImplemented();
}
void VnDataContext::_removeAll() {
    notImplemented();
}
void VnDataContext::_removeInfo(const Row&) {
    notImplemented();
}
std::vector<VnDataContext::Row> VnDataContext::_infosWithPredicate(const plat::Predicate&) {
    notImplemented();
}
VnDataContext::Row VnDataContext::_newInfo() {
    notImplemented();
}

void VnDataContext::addInfo(const Row& row) {
    UpdateScope update(*this);
    _addInfo(row);
}

void VnDataContext::removeAll() {
    UpdateScope update(*this);
    _removeAll();
}

void VnDataContext::endUpdate() {
    if (--updateCount_ == 0)
        _saveToStorage();
}

VnCoreDataContext::VnCoreDataContext(const std::string& entityName,
                                     Ref<plat::ObjectStoreContext> objectContext)
    : objectContext_(std::move(objectContext)) {
    PLAT_PARAMETER_ASSERT(!entityName.empty());
    PLAT_PARAMETER_ASSERT(objectContext_);
    entity_ = objectContext_->entityNamed(entityName);
    if (!entity_)
        plat::raise(plat::NSInvalidArgumentException, "Entity not found");
}

void VnCoreDataContext::_saveToStorage() {
    if (auto error = objectContext_->save())
        VND_TRACE("Error", "Data error: %s", error->description().c_str());
}

void VnCoreDataContext::_addInfo(const Row&) {
    // Rows are made inside the object context (newInfo): they are pending already.
}

void VnCoreDataContext::_removeInfo(const Row& row) {
    UpdateScope update(*this);
    objectContext_->deleteObject(row);
}

void VnCoreDataContext::_removeAll() {
    UpdateScope update(*this);
    Ref<plat::Error> error;
    const auto rows =
        objectContext_->fetch(entity_->name, plat::Predicate::truePredicate(), &error);
    if (!error) {
        for (const auto& row : rows)
            objectContext_->deleteObject(row);
    }
}

VnDataContext::Row VnCoreDataContext::_newInfo() {
    return objectContext_->insertNewObject(entity_->name);
}

int32_t VnCoreDataContext::itemCount() {
    const auto n = objectContext_->count(entity_->name);
    return n ? static_cast<int32_t>(std::min<int64_t>(*n, std::numeric_limits<int32_t>::max())) : 0;
}

std::vector<VnDataContext::Row> VnCoreDataContext::_infosWithPredicate(
    const plat::Predicate& predicate) {
    Ref<plat::Error> error;
    auto rows = objectContext_->fetch(entity_->name, predicate, &error);
    if (error)
        VND_TRACE("Error", "Data error: %s", error->description().c_str());
    return rows;
}
