#pragma once
// Row stores over one entity. VnDataContext is the abstract one: its underscore operations are
// hooks ("Method not implemented" in the base), and updates nest: addInfo and removeAll bracket
// themselves, and only the endUpdate that closes the outermost bracket saves. VnCoreDataContext
// keeps the rows of one entity of an object store.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/storage/ObjectStore.h"
#include "vnlib/dev/util/VndObject.h"

class VnDataContext : public VndObject {
    PLAT_CLASS(VnDataContext)
  public:
    using Row = Ref<plat::ManagedObject>;

    int32_t updateCount() const { return updateCount_; }

    virtual void _addInfo(const Row& row);
    virtual void _removeAll();
    virtual void _removeInfo(const Row& row);
    virtual std::vector<Row> _infosWithPredicate(const plat::Predicate& predicate);
    virtual Row _newInfo();
    virtual int32_t _itemCount() { return -1; }
    virtual void _saveToStorage() {}
    // Saves the pending changes with new rows given as their values under the named attributes
    // (as many values a row as names, in their order), in one save. Here the rows are made and
    // added one by one; a store that can insert rows without making their objects does so.
    virtual void _saveAddingRows(const std::vector<std::string>& names,
                                 std::vector<plat::Value> values);

    void addInfo(const Row& row);
    void removeInfo(const Row& row) { _removeInfo(row); }
    void removeAll();
    void save() { _saveToStorage(); }
    void saveAddingRows(const std::vector<std::string>& names, std::vector<plat::Value> values) {
        _saveAddingRows(names, std::move(values));
    }
    // A new row, owned by the caller until it is added.
    Row newInfo() { return _newInfo(); }
    std::vector<Row> infosWithPredicate(const plat::Predicate& predicate) {
        return _infosWithPredicate(predicate);
    }
    void beginUpdate() { ++updateCount_; }
    void endUpdate();
    // An update bracket closed on every way out of a scope, exceptions included.
    class UpdateScope {
      public:
        explicit UpdateScope(VnDataContext& context) : context_(context) { context_.beginUpdate(); }
        ~UpdateScope() { context_.endUpdate(); }
        UpdateScope(const UpdateScope&) = delete;
        UpdateScope& operator=(const UpdateScope&) = delete;

      private:
        VnDataContext& context_;
    };
    virtual int32_t itemCount() { return _itemCount(); }
    std::vector<Row> allInfos() { return infosWithPredicate(plat::Predicate::truePredicate()); }

  protected:
    // Makes and adds a row for each of the rows given as in _saveAddingRows, pending until saved.
    void addRowsWithValues(const std::vector<std::string>& names,
                           const std::vector<plat::Value>& values);

  private:
    [[noreturn]] void notImplemented() const;
    int32_t updateCount_ = 0;
};

class VnCoreDataContext : public VnDataContext {
    PLAT_CLASS(VnCoreDataContext)
  public:
    // NSInvalidArgumentException "Entity not found" when the store's model lacks the entity.
    VnCoreDataContext(const std::string& entityName, Ref<plat::ObjectStoreContext> objectContext);

    const Ref<plat::ObjectStoreContext>& objectContext() const { return objectContext_; }
    const plat::EntityDescription& entityDescription() const { return *entity_; }

    void _saveToStorage() override;
    // The rows are inserted in the save without row objects; when the save fails they are added
    // as rows, pending as any unsaved change.
    void _saveAddingRows(const std::vector<std::string>& names,
                         std::vector<plat::Value> values) override;
    void _addInfo(const Row& row) override;
    void _removeInfo(const Row& row) override;
    void _removeAll() override;
    Row _newInfo() override;
    int32_t itemCount() override;
    std::vector<Row> _infosWithPredicate(const plat::Predicate& predicate) override;

  private:
    Ref<plat::ObjectStoreContext> objectContext_;
    const plat::EntityDescription* entity_;
};
