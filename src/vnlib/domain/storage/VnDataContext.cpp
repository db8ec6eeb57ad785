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

void VnDataContext::_saveAddingRows(const std::vector<std::string>& names,
                                    std::vector<plat::Value> values) {
    addRowsWithValues(names, values);
    save();
}

void VnDataContext::addRowsWithValues(const std::vector<std::string>& names,
                                      const std::vector<plat::Value>& values) {
    UpdateScope update(*this);
    for (size_t at = 0; !names.empty() && at + names.size() <= values.size(); at += names.size()) {
        auto row = newInfo();
        for (size_t i = 0; i < names.size(); ++i)
            row->setPrimitiveValueForKey(names[i], values[at + i]);
        addInfo(row);
    }
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

void VnCoreDataContext::_saveAddingRows(const std::vector<std::string>& names,
                                        std::vector<plat::Value> values) {
    if (names.empty())
        return;
    // The values in the entity's order; attributes not named take their defaults.
    const size_t columns = entity_->attributes.size();
    const size_t count = values.size() / names.size();
    std::vector<size_t> positions;
    for (const auto& name : names) {
        const auto position = entity_->attributeIndex(name);
        if (!position)
            plat::raise(plat::NSInvalidArgumentException,
                        "the entity " + entity_->name + " has no attribute " + name);
        positions.push_back(*position);
    }
    std::vector<plat::Value> ordered(count * columns);
    for (size_t row = 0; row < count; ++row) {
        for (size_t i = 0; i < names.size(); ++i)
            ordered[row * columns + positions[i]] = values[row * names.size() + i];
    }
    if (auto error = objectContext_->saveAddingRows(*entity_, std::move(ordered))) {
        VND_TRACE("Error", "Data error: %s", error->description().c_str());
        // Kept as pending rows, which the next save writes.
        addRowsWithValues(names, values);
    }
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
