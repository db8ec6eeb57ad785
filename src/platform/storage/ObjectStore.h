#pragma once
// The object store: rows of declared entities kept in one SQLite file, reached through a context
// that confines them to one thread. A model lists the entities (one table each) and their
// attributes; opening a store adds missing tables, columns and indexes and keeps the rows
// (additive migration). Saves go to the store's write-ahead log, which a thread of the context's
// own copies into the store later (see ObjectStore.cpp). A context hands out one row object per
// row, keeps inserts, changes and deletions pending until save() writes them in one transaction,
// and its fetches see the pending inserts and deletions; its statements are prepared once per
// entity and reused. Predicates are TRUE, ==, > and AND, always sent as bound parameters. A store
// file that cannot be read is set aside (renamed, never over an earlier one), logged, and replaced
// by a fresh store.
//
//   auto context = ObjectStoreContext::open(path, model);
//   auto row = context->insertNewObject("UserBookmark");
//   row->setPrimitiveValueForKey("title", Value("บทที่ 1"));
//   context->save();
//   auto rows = context->fetch("UserBookmark", Predicate::equal("title", Value("บทที่ 1")));
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace plat {

inline constexpr const char* NSSQLiteErrorDomain = "NSSQLiteErrorDomain";

class ManagedObject;
class ObjectStoreContext;

enum class AttributeType {
    String,     // TEXT
    Integer32,  // INTEGER, 0 unless set
    Date,       // REAL seconds since 1970
};

struct AttributeDescription {
    std::string name;
    AttributeType type = AttributeType::String;
    bool indexed = false;
};

struct EntityDescription {
    std::string name;
    std::vector<AttributeDescription> attributes;
    // Makes the row object, a ManagedObject or a subclass; a plain ManagedObject when empty.
    std::function<Ref<ManagedObject>()> makeObject;

    // The position of the attribute; nothing when the entity has none of that name.
    std::optional<size_t> attributeIndex(std::string_view name) const;
};

struct ObjectModel {
    std::string name;
    int version = 1;
    std::vector<EntityDescription> entities;

    const EntityDescription* entityNamed(std::string_view name) const;
};

// A condition on the attributes of rows.
class Predicate {
  public:
    static Predicate truePredicate();
    static Predicate equal(std::string key, Value value);
    static Predicate greaterThan(std::string key, Value value);
    // Both conditions, the left one first.
    static Predicate conjunction(const Predicate& left, const Predicate& right);

    // Whether the row's values (pending changes included) satisfy the condition.
    bool evaluate(const ManagedObject& row) const;
    // The SQL condition, with "?" for each value, appended to `values` in order; nothing when it
    // names an attribute the entity does not have.
    std::optional<std::string> sql(const EntityDescription& entity,
                                   std::vector<Value>& values) const;
    // "TRUEPREDICATE", "code == \"x\"", "(a == 1) AND (b > 0)".
    std::string description() const;

  private:
    enum class Kind { True, Equal, Greater, And };
    Kind kind_ = Kind::True;
    std::string key_;
    Value value_;
    std::shared_ptr<const Predicate> left_;
    std::shared_ptr<const Predicate> right_;
};

// One row of an entity. Subclasses add typed accessors over the primitive values.
class ManagedObject : public Object {
    PLAT_CLASS(ManagedObject)
  public:
    ManagedObject() = default;
    ~ManagedObject() override;  // the context forgets the row

    const EntityDescription* entity() const { return entity_; }
    // The context the row belongs to; null after it was deleted and saved, or the context went.
    Ref<ObjectStoreContext> managedObjectContext() const { return context_.lock(); }
    bool isInserted() const { return inserted_; }
    bool isDeleted() const { return deleted_; }
    // The store's row number; 0 until the row is saved.
    int64_t rowId() const { return rowId_; }

    // The attribute's value (its default when never set); nil for names the entity lacks.
    Value primitiveValueForKey(std::string_view key) const;
    // Sets the attribute (integers and dates are converted; other kinds are refused with
    // NSInvalidArgumentException); the change is saved with the context.
    void setPrimitiveValueForKey(std::string_view key, Value value);

    // Runs once, when the row is made by insertNewObject.
    virtual void awakeFromInsert() {}

  private:
    friend class ObjectStoreContext;
    const EntityDescription* entity_ = nullptr;
    WeakRef<ObjectStoreContext> context_;
    std::vector<Value> values_;
    bool inserted_ = false;
    bool deleted_ = false;
    bool changed_ = false;
    int64_t rowId_ = 0;
};

class ObjectStoreContext : public Object {
    PLAT_CLASS(ObjectStoreContext)
  public:
    // Opens (or creates) the store at the path for the model. Never null: when no store can be
    // opened at all, the context has none, and fetches and saves fail with an error.
    static Ref<ObjectStoreContext> open(const std::filesystem::path& path, ObjectModel model);
    ObjectStoreContext(std::filesystem::path path, ObjectModel model);
    ~ObjectStoreContext() override;

    bool hasStore() const { return db_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }
    const ObjectModel& model() const { return model_; }
    const EntityDescription* entityNamed(std::string_view name) const {
        return model_.entityNamed(name);
    }

    // A new row of the entity, pending until saved; null for an entity the model lacks.
    Ref<ManagedObject> insertNewObject(std::string_view entityName);
    // Deletes the row (a pending insert is simply dropped); saved with the context.
    void deleteObject(const Ref<ManagedObject>& row);
    bool hasChanges() const;
    // Writes every pending insert, change and deletion in one transaction. On failure nothing is
    // written and everything stays pending.
    Ref<Error> save();
    // The same, inserting in that transaction, after the pending changes, new rows of the entity
    // given as their values (the entity's attributes in order, row after row). No row object is
    // made for them: a fetch makes one as for any stored row. Values are fitted to their
    // attributes as setPrimitiveValueForKey fits them; a value that cannot be fails the save, and
    // so does a count of values that is no whole number of rows.
    Ref<Error> saveAddingRows(const EntityDescription& entity, std::vector<Value> values);

    // The rows of the entity satisfying the predicate, in no defined order: stored rows not
    // deleted in this context, then pending inserts. The same row is always the same object.
    std::vector<Ref<ManagedObject>> fetch(std::string_view entityName, const Predicate& predicate,
                                          Ref<Error>* error = nullptr);
    // How many rows fetch would answer; nothing on an error.
    std::optional<int64_t> count(std::string_view entityName,
                                 const Predicate& predicate = Predicate::truePredicate(),
                                 Ref<Error>* error = nullptr);

  private:
    friend class ManagedObject;
    void noteChanged(ManagedObject& row);
    void forgetRow(const EntityDescription* entity, int64_t rowId);
    bool openStore(Ref<Error>* error, bool* unreadable);
    void closeStore();
    void setAside();
    // Has the log copied into the store on a thread of its own, after the copy that runs, if any.
    void checkpointInBackground();
    // The checkpoint thread's work, on a connection of its own.
    void copyLogUntilNoSaveAsks();
    // Reads the stored rows of the entity matching the predicate: the row number, then (with
    // withAttributes) every attribute in model order; answers the error of the query.
    Ref<Error> selectStored(
        std::string_view entityName, const Predicate& predicate, bool withAttributes,
        const std::function<void(const EntityDescription&, sqlite3_stmt*)>& onRow);
    Ref<ManagedObject> rowObject(const EntityDescription& entity, int64_t rowId,
                                 std::vector<Value> values);
    struct EntityStatements;
    EntityStatements& statementsOf(const EntityDescription& entity);
    // Writes the rows whose values start at each of `rows` (all of the entity), appending their
    // row numbers in order when asked to; answers the error, inside the save's transaction.
    Ref<Error> insertRows(const EntityDescription& entity, std::span<const Value* const> rows,
                          std::vector<int64_t>* rowIds);
    // save() and saveAddingRows(): the pending changes, then the rows given by their values (of
    // the entity, fitted already), in one transaction.
    Ref<Error> saveWithRows(const EntityDescription* entity, std::span<const Value> values);
    // The largest row number of the entity's table (0 when empty); nothing on an error.
    std::optional<int64_t> largestRowId(const EntityDescription& entity);

    std::filesystem::path path_;
    ObjectModel model_;
    sqlite3* db_ = nullptr;
    // Rows handed out, by entity and row number; a row that nobody holds is made anew.
    std::map<std::pair<const EntityDescription*, int64_t>, WeakRef<ManagedObject>> rows_;
    std::vector<Ref<ManagedObject>> inserted_;
    std::vector<Ref<ManagedObject>> changed_;
    std::vector<Ref<ManagedObject>> deleted_;
    // Prepared statements by entity, finalized when the store closes.
    std::map<const EntityDescription*, std::unique_ptr<EntityStatements>> statements_;
    // Whether saves go to the store's write-ahead log.
    bool keepsLog_ = false;
    // The checkpoint thread: started by a save when none runs, it copies the log into the store
    // until no save asks for more; joined before the next one starts and before the store closes.
    std::thread checkpoint_;
    std::mutex checkpointMutex_;
    bool checkpointWanted_ = false;   // guarded by checkpointMutex_
    bool checkpointRunning_ = false;  // guarded by checkpointMutex_
};

}  // namespace plat
