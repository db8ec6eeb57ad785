#include "platform/storage/ObjectStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "platform/core/Log.h"
#include "platform/storage/FileManager.h"

namespace plat {

PLAT_DEFINE_CLASS(ManagedObject, Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(ObjectStoreContext, Object, PLAT_NO_METHODS)

namespace {

constexpr const char* kSchemaTable = "varnel_schema";
// Rows inserted by one statement at most, and the values one statement binds at most (the limit
// of SQLite builds before 3.32; where a statement that wide cannot be made, rows go one by one).
constexpr size_t kRowsPerInsert = 16;
constexpr size_t kMaxBoundValues = 999;
// The page size of a new store: its rows are texts of a few KB, written by the thousand in one
// save, which pages of 16 KB write in a quarter of the calls that SQLite's 4 KB pages take. Larger
// pages write little faster still, and make each row changed alone cost a larger page. A store made
// before keeps the page size it was made with.
constexpr int kPageSize = 16384;

// The store keeps its changes in a write-ahead log: a save appends its pages to the log and is
// not synced, so a crash of the program leaves every save whole. A checkpoint syncs the log and
// copies it into the store; it runs after every save on a thread of the store's own (and when the
// store closes), so that a save does not wait for the disk, and a crash of the machine loses at
// most the saves whose checkpoint had not finished, never the store.
//
// The room a log keeps on disk once a checkpoint has copied all of it.
constexpr int kLogBytesKept = 4 * 1024 * 1024;
// The page cache of a connection takes up to this many KB while a save runs, so that a save of
// thousands of rows is written once, at its commit, instead of spilling pages into the log in its
// middle; the pages are given back after every save.
constexpr int kCacheKilobytes = 64 * 1024;

// SQLite sets aside room for twenty pages for every connection up front and keeps it until the
// connection closes (330 KB each with pages of 16 KB); the store asks for pages as it needs them
// and gives them back after opening and after each save. A setting of the whole library, so it is
// made once, before the first store opens; where SQLite already runs, its own setting stays.
void configureSQLite() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0); });
}

std::string sqlName(std::string_view identifier) {
    std::string out = "\"";
    for (char c : identifier) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

const char* columnType(AttributeType type) {
    switch (type) {
        case AttributeType::Integer32:
            return "INTEGER NOT NULL DEFAULT 0";
        case AttributeType::Date:
            return "REAL";
        case AttributeType::String:
        default:
            return "TEXT";
    }
}

Value defaultValue(const AttributeDescription& attribute) {
    return attribute.type == AttributeType::Integer32 ? Value(int32_t{0}) : Value();
}

Ref<Error> sqliteError(sqlite3* db, int code, const std::string& what) {
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return Error::withDescription(NSSQLiteErrorDomain, code, what + ": " + message);
}

bool isUnreadable(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// A prepared statement, finalized when it goes.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql) {
        code_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepareCode() const { return code_; }
    sqlite3_stmt* get() const { return stmt_; }
    // Whether it was stepped and not reset since (a fetch still reading).
    bool busy() const { return stmt_ && sqlite3_stmt_busy(stmt_); }
    // Ready to be bound and run again.
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

    // The statement keeps a copy of a text.
    int bind(int index, const Value& value) { return bind(index, value, SQLITE_TRANSIENT); }
    // The statement reads a text where it is: the value must stay until the statement is reset.
    int bindHeld(int index, const Value& value) { return bind(index, value, SQLITE_STATIC); }

  private:
    int bind(int index, const Value& value, sqlite3_destructor_type textLifetime) {
        if (value.isString()) {
            const std::string_view text = value.stringView();  // makes no string of its own
            return sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                     textLifetime);
        }
        if (const Number* number = value.number()) {
            if (number->isFloatingPoint())
                return sqlite3_bind_double(stmt_, index, number->doubleValue());
            return sqlite3_bind_int64(stmt_, index, number->int64Value());
        }
        if (value.isBool())
            return sqlite3_bind_int64(stmt_, index, value.boolValue() ? 1 : 0);
        if (const Date* date = value.date())
            return sqlite3_bind_double(stmt_, index, date->seconds);
        return sqlite3_bind_null(stmt_, index);
    }

    sqlite3_stmt* stmt_ = nullptr;
    int code_ = SQLITE_OK;
};

int execute(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

// The first column of the statement's first row, as text; empty when there is none.
std::string answer(sqlite3* db, const std::string& sql) {
    std::string text;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
        text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return text;
}

Value columnValue(sqlite3_stmt* stmt, int column, const AttributeDescription& attribute) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL)
        return defaultValue(attribute);
    switch (attribute.type) {
        case AttributeType::Integer32:
            return Value(static_cast<int32_t>(sqlite3_column_int64(stmt, column)));
        case AttributeType::Date:
            return Value(Date{sqlite3_column_double(stmt, column)});
        case AttributeType::String:
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            return Value(std::string(text ? text : "",
                                     static_cast<size_t>(sqlite3_column_bytes(stmt, column))));
        }
    }
}

// A value fitted to the attribute's type; nothing when it cannot be.
std::optional<Value> fitted(const AttributeDescription& attribute, const Value& value) {
    if (value.isNilOrNull())
        return attribute.type == AttributeType::Integer32 ? Value(int32_t{0}) : Value();
    switch (attribute.type) {
        case AttributeType::Integer32:
            if (value.isNumber() || value.isBool() || value.decimal())
                return Value(value.intValue());
            return std::nullopt;
        case AttributeType::Date:
            if (value.date())
                return value;
            return std::nullopt;
        case AttributeType::String:
        default:
            if (value.isString())
                return value;
            return std::nullopt;
    }
}

int compareStoredValues(const Value& a, const Value& b) {
    if (a.date() && b.date())
        return a.date()->seconds < b.date()->seconds ? -1 : a.date()->seconds > b.date()->seconds;
    if (a.string() && b.string())
        return a.string()->compare(*b.string()) < 0 ? -1 : a.string()->compare(*b.string()) > 0;
    const double x = a.doubleValue();
    const double y = b.doubleValue();
    return x < y ? -1 : x > y;
}

}  // namespace

// The statements of one entity, prepared on first use and kept while the store is open.
struct ObjectStoreContext::EntityStatements {
    std::unique_ptr<Statement> insert;
    std::unique_ptr<Statement> insertMany;  // of kRowsPerInsert rows, or fewer for wide entities
    std::unique_ptr<Statement> largest;     // the largest row number
    std::unique_ptr<Statement> update;
    std::unique_ptr<Statement> remove;
    std::map<std::string, std::unique_ptr<Statement>> selects;  // by their SQL text
};

namespace {

// A kept statement in use, reset when the use ends; a statement of its own when the kept one is
// still running (a fetch started while another one reads).
class StatementUse {
  public:
    StatementUse(sqlite3* db, std::unique_ptr<Statement>& kept, const std::string& sql) {
        if (!kept || kept->prepareCode() != SQLITE_OK)
            kept = std::make_unique<Statement>(db, sql);
        if (kept->busy()) {
            own_ = std::make_unique<Statement>(db, sql);
            statement_ = own_.get();
        } else {
            statement_ = kept.get();
        }
    }
    ~StatementUse() {
        if (!own_)
            statement_->reset();
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

    Statement& operator*() const { return *statement_; }
    Statement* operator->() const { return statement_; }

  private:
    Statement* statement_ = nullptr;
    std::unique_ptr<Statement> own_;
};

}  // namespace

// ---- Model
// ---------------------------------------------------------------------------------------

std::optional<size_t> EntityDescription::attributeIndex(std::string_view name) const {
    for (size_t i = 0; i < attributes.size(); ++i) {
        if (attributes[i].name == name)
            return i;
    }
    return std::nullopt;
}

const EntityDescription* ObjectModel::entityNamed(std::string_view name) const {
    for (const auto& entity : entities) {
        if (entity.name == name)
            return &entity;
    }
    return nullptr;
}

// ---- Predicate
// -----------------------------------------------------------------------------------

Predicate Predicate::truePredicate() {
    return Predicate();
}

Predicate Predicate::equal(std::string key, Value value) {
    Predicate p;
    p.kind_ = Kind::Equal;
    p.key_ = std::move(key);
    p.value_ = std::move(value);
    return p;
}

Predicate Predicate::greaterThan(std::string key, Value value) {
    Predicate p = equal(std::move(key), std::move(value));
    p.kind_ = Kind::Greater;
    return p;
}

Predicate Predicate::conjunction(const Predicate& left, const Predicate& right) {
    Predicate p;
    p.kind_ = Kind::And;
    p.left_ = std::make_shared<const Predicate>(left);
    p.right_ = std::make_shared<const Predicate>(right);
    return p;
}

bool Predicate::evaluate(const ManagedObject& row) const {
    switch (kind_) {
        case Kind::True:
            return true;
        case Kind::And:
            return left_->evaluate(row) && right_->evaluate(row);
        case Kind::Equal:
        case Kind::Greater: {
            const Value current = row.primitiveValueForKey(key_);
            if (current.isNilOrNull() || value_.isNilOrNull())
                return kind_ == Kind::Equal && current.isNilOrNull() && value_.isNilOrNull();
            const int order = compareStoredValues(current, value_);
            return kind_ == Kind::Equal ? order == 0 : order > 0;
        }
    }
    return false;
}

std::optional<std::string> Predicate::sql(const EntityDescription& entity,
                                          std::vector<Value>& values) const {
    switch (kind_) {
        case Kind::True:
            return "1";
        case Kind::And: {
            auto left = left_->sql(entity, values);
            auto right = right_->sql(entity, values);
            if (!left || !right)
                return std::nullopt;
            return "(" + *left + ") AND (" + *right + ")";
        }
        case Kind::Equal:
        case Kind::Greater:
            if (!entity.attributeIndex(key_))
                return std::nullopt;
            if (value_.isNilOrNull())
                return kind_ == Kind::Equal ? sqlName(key_) + " IS NULL" : std::string("0");
            values.push_back(value_);
            return sqlName(key_) + (kind_ == Kind::Equal ? " = ?" : " > ?");
    }
    return std::nullopt;
}

std::string Predicate::description() const {
    switch (kind_) {
        case Kind::True:
            return "TRUEPREDICATE";
        case Kind::And:
            return "(" + left_->description() + ") AND (" + right_->description() + ")";
        case Kind::Equal:
        case Kind::Greater: {
            const std::string value =
                value_.isString() ? "\"" + *value_.string() + "\"" : value_.description();
            return key_ + (kind_ == Kind::Equal ? " == " : " > ") + value;
        }
    }
    return {};
}

// ---- Rows
// ----------------------------------------------------------------------------------------

Value ManagedObject::primitiveValueForKey(std::string_view key) const {
    if (!entity_)
        return Value();
    const auto index = entity_->attributeIndex(key);
    return index ? values_[*index] : Value();
}

void ManagedObject::setPrimitiveValueForKey(std::string_view key, Value value) {
    const auto index = entity_ ? entity_->attributeIndex(key) : std::nullopt;
    if (!index) {
        raise(NSInvalidArgumentException, "the entity " +
                                              (entity_ ? entity_->name : std::string("(none)")) +
                                              " has no attribute " + std::string(key));
    }
    auto value2 = fitted(entity_->attributes[*index], value);
    if (!value2) {
        raise(NSInvalidArgumentException, "a value of the wrong kind for the attribute " +
                                              std::string(key) + ": " + value.description());
    }
    values_[*index] = std::move(*value2);
    if (auto context = context_.lock())
        context->noteChanged(*this);
}

// ---- Context
// -------------------------------------------------------------------------------------

Ref<ObjectStoreContext> ObjectStoreContext::open(const std::filesystem::path& path,
                                                 ObjectModel model) {
    auto context = std::make_shared<ObjectStoreContext>(path, std::move(model));
    Ref<Error> error;
    bool unreadable = false;
    if (context->openStore(&error, &unreadable))
        return context;
    if (unreadable) {
        context->setAside();
        Ref<Error> again;
        if (context->openStore(&again, &unreadable))
            return context;
        error = again;
    }
    log("Object store " + path.string() + " cannot be opened: " +
        (error ? error->localizedDescription() : std::string("unknown error")) +
        "; nothing will be saved");
    return context;
}

ObjectStoreContext::ObjectStoreContext(std::filesystem::path path, ObjectModel model)
    : path_(std::move(path)), model_(std::move(model)) {}

ObjectStoreContext::~ObjectStoreContext() {
    closeStore();
}

ObjectStoreContext::EntityStatements& ObjectStoreContext::statementsOf(
    const EntityDescription& entity) {
    auto& statements = statements_[&entity];
    if (!statements)
        statements = std::make_unique<EntityStatements>();
    return *statements;
}

void ObjectStoreContext::closeStore() {
    if (checkpoint_.joinable())
        checkpoint_.join();
    statements_.clear();
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool ObjectStoreContext::openStore(Ref<Error>* error, bool* unreadable) {
    *unreadable = false;
    configureSQLite();
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    auto fail = [&](int code, const std::string& what) {
        *error = sqliteError(db, code, what);
        *unreadable = isUnreadable(code);
        sqlite3_close_v2(db);
        return false;
    };
    if (rc != SQLITE_OK)
        return fail(rc, "Cannot open the store");
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    // Takes effect only while the file is new and empty.
    execute(db, "PRAGMA page_size = " + std::to_string(kPageSize));

    // A damaged file must not be written into: check it before anything else.
    {
        Statement check(db, "PRAGMA quick_check");
        if (check.prepareCode() != SQLITE_OK)
            return fail(check.prepareCode(), "Cannot check the store");
        rc = sqlite3_step(check.get());
        if (rc != SQLITE_ROW)
            return fail(rc, "Cannot check the store");
        const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
        if (!verdict || std::string_view(verdict) != "ok") {
            *error = Error::withDescription(
                NSSQLiteErrorDomain, SQLITE_CORRUPT,
                std::string("The store is damaged: ") + (verdict ? verdict : "(no answer)"));
            *unreadable = true;
            sqlite3_close_v2(db);
            return false;
        }
    }

    // Saves go to the log, unsynced (a store made before takes the log on now and keeps its
    // rows); where the log cannot be kept, the rollback journal stays, synced at every commit.
    keepsLog_ = answer(db, "PRAGMA journal_mode = WAL") == "wal";
    if (keepsLog_) {
        execute(db, "PRAGMA synchronous = NORMAL");
        // The checkpoint thread copies the log; SQLite's own copy would run inside a save.
        execute(db, "PRAGMA wal_autocheckpoint = 0");
        // A log emptied by a checkpoint is cut back to this size when the next save starts it
        // anew.
        execute(db, "PRAGMA journal_size_limit = " + std::to_string(kLogBytesKept));
    }
    execute(db, "PRAGMA cache_size = -" + std::to_string(kCacheKilobytes));

    // Additive migration: missing tables, columns and indexes are added; rows are kept.
    if ((rc = execute(db, "BEGIN IMMEDIATE")) != SQLITE_OK)
        return fail(rc, "Cannot start the schema update");
    std::string sql = std::string("CREATE TABLE IF NOT EXISTS ") + kSchemaTable +
                      " (model TEXT PRIMARY KEY, version INTEGER NOT NULL)";
    rc = execute(db, sql);
    for (const auto& entity : model_.entities) {
        if (rc != SQLITE_OK)
            break;
        std::string columns = "rowid INTEGER PRIMARY KEY";
        for (const auto& attribute : entity.attributes)
            columns += ", " + sqlName(attribute.name) + " " + columnType(attribute.type);
        rc = execute(db,
                     "CREATE TABLE IF NOT EXISTS " + sqlName(entity.name) + " (" + columns + ")");
        std::set<std::string> existing;
        if (rc == SQLITE_OK) {
            Statement info(db, "PRAGMA table_info(" + sqlName(entity.name) + ")");
            rc = info.prepareCode();
            while (rc == SQLITE_OK && sqlite3_step(info.get()) == SQLITE_ROW) {
                const auto* name =
                    reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
                existing.insert(name ? name : "");
            }
        }
        for (const auto& attribute : entity.attributes) {
            if (rc != SQLITE_OK)
                break;
            if (!existing.count(attribute.name)) {
                rc = execute(db, "ALTER TABLE " + sqlName(entity.name) + " ADD COLUMN " +
                                     sqlName(attribute.name) + " " + columnType(attribute.type));
            }
            if (rc == SQLITE_OK && attribute.indexed) {
                rc = execute(db, "CREATE INDEX IF NOT EXISTS " +
                                     sqlName(entity.name + "_" + attribute.name) + " ON " +
                                     sqlName(entity.name) + " (" + sqlName(attribute.name) + ")");
            }
        }
    }
    if (rc == SQLITE_OK) {
        Statement version(db, std::string("INSERT OR REPLACE INTO ") + kSchemaTable +
                                  " (model, version) VALUES (?, ?)");
        rc = version.prepareCode();
        if (rc == SQLITE_OK) {
            version.bind(1, Value(model_.name));
            version.bind(2, Value(int64_t{model_.version}));
            rc = sqlite3_step(version.get()) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
        }
    }
    if (rc != SQLITE_OK) {
        execute(db, "ROLLBACK");
        return fail(rc, "Cannot update the store's schema");
    }
    if ((rc = execute(db, "COMMIT")) != SQLITE_OK)
        return fail(rc, "Cannot update the store's schema");
    // The pages read and written to open the store are not kept in memory.
    sqlite3_db_release_memory(db);
    db_ = db;
    return true;
}

void ObjectStoreContext::checkpointInBackground() {
    {
        std::lock_guard lock(checkpointMutex_);
        checkpointWanted_ = true;
        if (checkpointRunning_)
            return;  // the running thread copies again
        checkpointRunning_ = true;
    }
    if (checkpoint_.joinable())
        checkpoint_.join();  // it has ended
    // Where no thread can be started, the log is copied when the store closes.
    try {
        checkpoint_ = std::thread([this] { copyLogUntilNoSaveAsks(); });
    } catch (const std::system_error&) {
        std::lock_guard lock(checkpointMutex_);
        checkpointRunning_ = false;
    }
}

void ObjectStoreContext::copyLogUntilNoSaveAsks() {
    // A connection of its own, so that the context's one stays free for the thread that uses it.
    // A copy never waits for that one: what it cannot copy yet, the next one copies.
    sqlite3* db = nullptr;
    const bool open =
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    // A connection knows that its store keeps a log only once it has read the store.
    if (open)
        execute(db, "PRAGMA schema_version");
    for (;;) {
        {
            std::lock_guard lock(checkpointMutex_);
            if (!checkpointWanted_) {
                checkpointRunning_ = false;
                break;
            }
            checkpointWanted_ = false;
        }
        const int rc = open ? sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE,
                                                        nullptr, nullptr)
                            : SQLITE_CANTOPEN;
        if (rc != SQLITE_OK && rc != SQLITE_BUSY)
            log("Object store " + path_.string() + ": cannot copy the log into the store: " +
                (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    }
    sqlite3_close_v2(db);
}

void ObjectStoreContext::setAside() {
    closeStore();
    const auto aside = FileManager::setAside(path_);
    if (aside) {
        // The journal files belong with the file they journal.
        for (const char* companion : {"-journal", "-wal", "-shm"}) {
            std::filesystem::path from = path_;
            from += companion;
            std::filesystem::path to = *aside;
            to += companion;
            if (FileManager::fileExists(from))
                FileManager::moveItem(from, to);
        }
    }
    log("Object store " + path_.string() + " is damaged; " +
        (aside ? "moved it aside to " + aside->string()
               : std::string("it could not be moved aside")) +
        " and started an empty store");
}

Ref<ManagedObject> ObjectStoreContext::rowObject(const EntityDescription& entity, int64_t rowId,
                                                 std::vector<Value> values) {
    const auto key = std::make_pair(&entity, rowId);
    if (auto it = rows_.find(key); it != rows_.end()) {
        if (auto existing = it->second.lock())
            return existing;
    }
    Ref<ManagedObject> row = entity.makeObject ? entity.makeObject() : nullptr;
    if (!row)
        row = std::make_shared<ManagedObject>();
    row->entity_ = &entity;
    row->context_ = self<ObjectStoreContext>();
    row->values_ = std::move(values);
    row->rowId_ = rowId;
    rows_[key] = row;
    return row;
}

Ref<ManagedObject> ObjectStoreContext::insertNewObject(std::string_view entityName) {
    const EntityDescription* entity = entityNamed(entityName);
    if (!entity)
        return nullptr;
    Ref<ManagedObject> row = entity->makeObject ? entity->makeObject() : nullptr;
    if (!row)
        row = std::make_shared<ManagedObject>();
    row->entity_ = entity;
    row->context_ = self<ObjectStoreContext>();
    row->values_.clear();
    row->values_.reserve(entity->attributes.size());
    for (const auto& attribute : entity->attributes)
        row->values_.push_back(defaultValue(attribute));
    row->inserted_ = true;
    inserted_.push_back(row);
    row->awakeFromInsert();
    return row;
}

ManagedObject::~ManagedObject() {
    if (rowId_ != 0) {
        if (auto context = context_.lock())
            context->forgetRow(entity_, rowId_);
    }
}

void ObjectStoreContext::forgetRow(const EntityDescription* entity, int64_t rowId) {
    // Called as a row goes: its entry no longer names a live row.
    if (auto it = rows_.find({entity, rowId}); it != rows_.end() && it->second.expired())
        rows_.erase(it);
}

void ObjectStoreContext::noteChanged(ManagedObject& row) {
    if (row.inserted_ || row.deleted_ || row.changed_)
        return;
    row.changed_ = true;
    changed_.push_back(row.self<ManagedObject>());
}

void ObjectStoreContext::deleteObject(const Ref<ManagedObject>& row) {
    if (!row || row->context_.lock().get() != this || row->deleted_)
        return;
    if (row->inserted_) {
        std::erase(inserted_, row);
        row->inserted_ = false;
        row->context_.reset();
        return;
    }
    row->deleted_ = true;
    deleted_.push_back(row);
}

bool ObjectStoreContext::hasChanges() const {
    return !inserted_.empty() || !changed_.empty() || !deleted_.empty();
}

std::optional<int64_t> ObjectStoreContext::largestRowId(const EntityDescription& entity) {
    auto& kept = statementsOf(entity).largest;
    StatementUse largest(db_, kept,
                         kept ? std::string() : "SELECT max(rowid) FROM " + sqlName(entity.name));
    if (largest->prepareCode() != SQLITE_OK || sqlite3_step(largest->get()) != SQLITE_ROW)
        return std::nullopt;
    return sqlite3_column_int64(largest->get(), 0);  // 0 for an empty table
}

Ref<Error> ObjectStoreContext::insertRows(const EntityDescription& entity,
                                          std::span<const Value* const> rows,
                                          std::vector<int64_t>* rowIds) {
    auto failed = [&](const std::string& what) {
        return sqliteError(db_, sqlite3_errcode(db_), what);
    };
    auto& statements = statementsOf(entity);
    auto insertSql = [&](size_t count) {
        std::string names, marks;
        for (const auto& attribute : entity.attributes) {
            names += (names.empty() ? "" : ", ") + sqlName(attribute.name);
            marks += marks.empty() ? "?" : ", ?";
        }
        std::string sql = "INSERT INTO " + sqlName(entity.name) + " (" + names + ") VALUES ";
        for (size_t i = 0; i < count; ++i)
            sql += (i ? ", (" : "(") + marks + ")";
        return sql;
    };
    // Binds the rows from `at` on to the statement's parameters, row after row.
    const size_t columns = entity.attributes.size();
    auto bindRows = [&](Statement& statement, size_t at, size_t count) {
        int index = 1;
        for (size_t i = at; i < at + count; ++i) {
            for (size_t column = 0; column < columns; ++column)
                statement.bindHeld(index++, rows[i][column]);
        }
    };

    const size_t end = rows.size();
    size_t next = 0;
    // Many rows go several to a statement, which saves most of the cost of running one. A row
    // given no number gets the largest one of its table plus one; while that stays below the
    // limit, the rows of a statement are numbered in turn, so the last number gives them all.
    const size_t width = std::max<size_t>(columns, 1);
    const size_t perStatement = std::min(kRowsPerInsert, kMaxBoundValues / width);
    if (columns != 0 && perStatement > 1 && end >= perStatement) {
        const auto largest = largestRowId(entity);
        if (!largest)
            return failed("Cannot save");
        if (*largest <= std::numeric_limits<int64_t>::max() - static_cast<int64_t>(end)) {
            int64_t expected = *largest;
            while (end - next >= perStatement) {
                StatementUse insert(
                    db_, statements.insertMany,
                    statements.insertMany ? std::string() : insertSql(perStatement));
                if (insert->prepareCode() != SQLITE_OK)
                    break;
                bindRows(*insert, next, perStatement);
                if (sqlite3_step(insert->get()) != SQLITE_DONE)
                    return failed("Cannot save");
                expected += static_cast<int64_t>(perStatement);
                if (sqlite3_last_insert_rowid(db_) != expected) {
                    return Error::withDescription(NSSQLiteErrorDomain, SQLITE_ERROR,
                                                  "Cannot save: rows were not numbered in turn");
                }
                for (int64_t id = expected - static_cast<int64_t>(perStatement) + 1;
                     rowIds && id <= expected; ++id)
                    rowIds->push_back(id);
                next += perStatement;
            }
        }
    }
    for (; next < end; ++next) {
        StatementUse insert(db_, statements.insert,
                            statements.insert ? std::string() : insertSql(1));
        if (insert->prepareCode() != SQLITE_OK)
            return failed("Cannot save");
        bindRows(*insert, next, 1);
        if (sqlite3_step(insert->get()) != SQLITE_DONE)
            return failed("Cannot save");
        if (rowIds)
            rowIds->push_back(sqlite3_last_insert_rowid(db_));
    }
    return nullptr;
}

Ref<Error> ObjectStoreContext::save() {
    return saveWithRows(nullptr, {});
}

Ref<Error> ObjectStoreContext::saveAddingRows(const EntityDescription& entity,
                                              std::vector<Value> values) {
    const size_t columns = entity.attributes.size();
    if (columns == 0 || values.size() % columns != 0 || entityNamed(entity.name) != &entity) {
        return Error::withDescription(
            NSSQLiteErrorDomain, SQLITE_MISUSE,
            "Cannot save: rows that do not fit the entity " + entity.name);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        auto value = fitted(entity.attributes[i % columns], values[i]);
        if (!value) {
            return Error::withDescription(NSSQLiteErrorDomain, SQLITE_MISMATCH,
                                          "Cannot save: a value of the wrong kind for the "
                                          "attribute " +
                                              entity.attributes[i % columns].name + ": " +
                                              values[i].description());
        }
        values[i] = std::move(*value);
    }
    return saveWithRows(&entity, values);
}

Ref<Error> ObjectStoreContext::saveWithRows(const EntityDescription* entity,
                                            std::span<const Value> values) {
    if (!hasChanges() && values.empty())
        return nullptr;
    if (!db_) {
        return Error::withDescription(NSSQLiteErrorDomain, SQLITE_CANTOPEN,
                                      "The store " + path_.string() + " is not open");
    }
    int rc = execute(db_, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return sqliteError(db_, rc, "Cannot start saving");
    std::vector<int64_t> newRowIds;
    auto failed = [&](const std::string& what) {
        auto error = sqliteError(db_, sqlite3_errcode(db_), what);
        execute(db_, "ROLLBACK");
        return error;
    };
    // Inserts go by runs of rows of one entity.
    newRowIds.reserve(inserted_.size());
    std::vector<const Value*> rows;
    for (size_t first = 0; first < inserted_.size();) {
        const EntityDescription* runEntity = inserted_[first]->entity_;
        rows.clear();
        size_t end = first;
        for (; end < inserted_.size() && inserted_[end]->entity_ == runEntity; ++end)
            rows.push_back(inserted_[end]->values_.data());
        if (auto error = insertRows(*runEntity, rows, &newRowIds)) {
            execute(db_, "ROLLBACK");
            return error;
        }
        first = end;
    }
    for (const auto& row : changed_) {
        const EntityDescription& rowEntity = *row->entity_;
        auto& kept = statementsOf(rowEntity).update;
        std::string sql;
        if (!kept) {
            std::string assignments;
            for (const auto& attribute : rowEntity.attributes)
                assignments += (assignments.empty() ? "" : ", ") + sqlName(attribute.name) + " = ?";
            sql = "UPDATE " + sqlName(rowEntity.name) + " SET " + assignments + " WHERE rowid = ?";
        }
        StatementUse update(db_, kept, sql);
        if (update->prepareCode() != SQLITE_OK)
            return failed("Cannot save");
        for (size_t i = 0; i < row->values_.size(); ++i)
            update->bindHeld(static_cast<int>(i + 1), row->values_[i]);
        update->bind(static_cast<int>(row->values_.size() + 1), Value(row->rowId_));
        if (sqlite3_step(update->get()) != SQLITE_DONE)
            return failed("Cannot save");
    }
    for (const auto& row : deleted_) {
        auto& kept = statementsOf(*row->entity_).remove;
        StatementUse remove(
            db_, kept,
            kept ? std::string()
                 : "DELETE FROM " + sqlName(row->entity_->name) + " WHERE rowid = ?");
        if (remove->prepareCode() != SQLITE_OK)
            return failed("Cannot save");
        remove->bind(1, Value(row->rowId_));
        if (sqlite3_step(remove->get()) != SQLITE_DONE)
            return failed("Cannot save");
    }
    // The rows given without objects, after the pending changes.
    if (!values.empty()) {
        const size_t columns = entity->attributes.size();
        rows.clear();
        for (size_t at = 0; at < values.size(); at += columns)
            rows.push_back(values.data() + at);
        if (auto error = insertRows(*entity, rows, nullptr)) {
            execute(db_, "ROLLBACK");
            return error;
        }
    }
    if (execute(db_, "COMMIT") != SQLITE_OK)
        return failed("Cannot save");
    if (keepsLog_)
        checkpointInBackground();
    // The pages a large save went through are not kept in memory.
    sqlite3_db_release_memory(db_);

    for (size_t i = 0; i < inserted_.size(); ++i) {
        const auto& row = inserted_[i];
        row->inserted_ = false;
        row->rowId_ = newRowIds[i];
        rows_[{row->entity_, row->rowId_}] = row;
    }
    for (const auto& row : changed_)
        row->changed_ = false;
    for (const auto& row : deleted_) {
        rows_.erase({row->entity_, row->rowId_});
        row->context_.reset();
    }
    // The lists go with their room: a large save is not followed by another one at once. (Assigning
    // an empty brace list would keep the room: it empties the list in place.)
    std::vector<Ref<ManagedObject>>().swap(inserted_);
    std::vector<Ref<ManagedObject>>().swap(changed_);
    std::vector<Ref<ManagedObject>>().swap(deleted_);
    // Forget rows nobody holds any more.
    std::erase_if(rows_, [](const auto& entry) { return entry.second.expired(); });
    return nullptr;
}

Ref<Error> ObjectStoreContext::selectStored(
    std::string_view entityName, const Predicate& predicate, bool withAttributes,
    const std::function<void(const EntityDescription&, sqlite3_stmt*)>& onRow) {
    const EntityDescription* entity = entityNamed(entityName);
    if (!entity) {
        return Error::withDescription(NSSQLiteErrorDomain, SQLITE_ERROR,
                                      "No entity " + std::string(entityName));
    }
    if (!db_) {
        return Error::withDescription(NSSQLiteErrorDomain, SQLITE_CANTOPEN,
                                      "The store " + path_.string() + " is not open");
    }
    std::vector<Value> values;
    const auto condition = predicate.sql(*entity, values);
    if (!condition) {
        return Error::withDescription(NSSQLiteErrorDomain, SQLITE_ERROR,
                                      "Unknown attribute in " + predicate.description());
    }
    std::string columns = "rowid";
    for (const auto& attribute : entity->attributes) {
        if (withAttributes)
            columns += ", " + sqlName(attribute.name);
    }
    const std::string sql =
        "SELECT " + columns + " FROM " + sqlName(entity->name) + " WHERE " + *condition;
    StatementUse select(db_, statementsOf(*entity).selects[sql], sql);
    if (select->prepareCode() != SQLITE_OK)
        return sqliteError(db_, select->prepareCode(), "Cannot read the store");
    for (size_t i = 0; i < values.size(); ++i)
        select->bind(static_cast<int>(i + 1), values[i]);
    int rc;
    while ((rc = sqlite3_step(select->get())) == SQLITE_ROW)
        onRow(*entity, select->get());
    if (rc != SQLITE_DONE)
        return sqliteError(db_, rc, "Cannot read the store");
    return nullptr;
}

std::vector<Ref<ManagedObject>> ObjectStoreContext::fetch(std::string_view entityName,
                                                          const Predicate& predicate,
                                                          Ref<Error>* error) {
    std::vector<Ref<ManagedObject>> rows;
    auto failure = selectStored(
        entityName, predicate, true, [&](const EntityDescription& entity, sqlite3_stmt* stmt) {
            std::vector<Value> values;
            for (size_t i = 0; i < entity.attributes.size(); ++i)
                values.push_back(columnValue(stmt, static_cast<int>(i + 1), entity.attributes[i]));
            auto row = rowObject(entity, sqlite3_column_int64(stmt, 0), std::move(values));
            if (!row->deleted_)
                rows.push_back(std::move(row));
        });
    if (failure) {
        if (error)
            *error = std::move(failure);
        return {};
    }
    const EntityDescription* entity = entityNamed(entityName);
    for (const auto& row : inserted_) {
        if (row->entity_ == entity && predicate.evaluate(*row))
            rows.push_back(row);
    }
    return rows;
}

std::optional<int64_t> ObjectStoreContext::count(std::string_view entityName,
                                                 const Predicate& predicate, Ref<Error>* error) {
    const EntityDescription* entity = entityNamed(entityName);
    // Stored rows deleted in this context do not count; pending inserts do.
    std::set<int64_t> deleted;
    for (const auto& row : deleted_) {
        if (row->entity_ == entity)
            deleted.insert(row->rowId_);
    }
    int64_t n = 0;
    auto failure = selectStored(entityName, predicate, false,
                                [&](const EntityDescription&, sqlite3_stmt* stmt) {
                                    if (!deleted.count(sqlite3_column_int64(stmt, 0)))
                                        ++n;
                                });
    if (failure) {
        if (error)
            *error = std::move(failure);
        return std::nullopt;
    }
    for (const auto& row : inserted_) {
        if (row->entity_ == entity && predicate.evaluate(*row))
            ++n;
    }
    return n;
}

}  // namespace plat
