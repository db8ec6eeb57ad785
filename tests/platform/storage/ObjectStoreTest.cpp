#include <gtest/gtest.h>

#include <sqlite3.h>

#include <malloc.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "ScopedEnvironment.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/ObjectStore.h"
#include "support/CapturedLog.h"

using plat::AttributeType;
using plat::ObjectModel;
using plat::ObjectStoreContext;
using plat::Predicate;
using plat::Value;
namespace fs = std::filesystem;

using testing_support::logged;

namespace {

ObjectModel notesModel(bool withCount) {
    ObjectModel model{"Notes", withCount ? 2 : 1, {}};
    plat::EntityDescription note{"Note", {{"title", AttributeType::String, true}}, {}};
    if (withCount) {
        note.attributes.push_back({"count", AttributeType::Integer32});
        note.attributes.push_back({"made", AttributeType::Date});
        model.entities.push_back({"Tag", {{"name", AttributeType::String}}, {}});
    }
    model.entities.insert(model.entities.begin(), note);
    return model;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

TEST(ObjectStore, PendingChangesPredicatesAndOneObjectPerRow) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    auto context = ObjectStoreContext::open(path, notesModel(true));
    ASSERT_TRUE(context->hasStore());
    EXPECT_FALSE(context->insertNewObject("Missing"));

    auto make = [&](const std::string& title, int32_t count) {
        auto row = context->insertNewObject("Note");
        row->setPrimitiveValueForKey("title", Value(title));
        row->setPrimitiveValueForKey("count", Value(count));
        return row;
    };
    auto a = make("ก", 1);
    auto b = make("b", 5);
    EXPECT_EQ(make("c", 0)->primitiveValueForKey("made"), Value());
    // Pending inserts are seen by fetches and counts before they are saved.
    EXPECT_EQ(context->fetch("Note", Predicate::truePredicate()).size(), 3u);
    EXPECT_EQ(context->count("Note", Predicate::equal("count", Value(int32_t{0}))), 1);
    ASSERT_FALSE(context->save());
    EXPECT_GT(a->rowId(), 0);

    b->setPrimitiveValueForKey("made", Value(plat::Date{1700000000.5}));
    EXPECT_THROW(b->setPrimitiveValueForKey("count", Value("five")), plat::Exception);
    ASSERT_FALSE(context->save());
    auto both = context->fetch(
        "Note", Predicate::conjunction(Predicate::greaterThan("count", Value(int32_t{0})),
                                       Predicate::equal("title", Value("b"))));
    ASSERT_EQ(both.size(), 1u);
    EXPECT_EQ(both[0], b);  // the same object, not a copy
    EXPECT_EQ(context->fetch("Note", Predicate::equal("title", Value("ก")))[0], a);
    // Values are bound, never spliced into the SQL text.
    EXPECT_TRUE(context->fetch("Note", Predicate::equal("title", Value("x' OR '1'='1"))).empty());
    Ref<plat::Error> error;
    EXPECT_TRUE(context->fetch("Note", Predicate::equal("nope", Value(1)), &error).empty());
    EXPECT_TRUE(error);

    // A deletion is seen at once and written with the next save.
    context->deleteObject(a);
    EXPECT_EQ(context->count("Note"), 2);
    EXPECT_TRUE(context->fetch("Note", Predicate::equal("title", Value("ก"))).empty());
    ASSERT_FALSE(context->save());

    // Another context over the same file reads what was saved.
    auto again = ObjectStoreContext::open(path, notesModel(true));
    auto rows = again->fetch("Note", Predicate::equal("title", Value("b")));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->primitiveValueForKey("count"), Value(int32_t{5}));
    EXPECT_EQ(rows[0]->primitiveValueForKey("made"), Value(plat::Date{1700000000.5}));
    EXPECT_EQ(again->count("Note"), 2);
}

// Statements are prepared once and run again with new values: each run sees its own values and
// the rows as they are now, and none keeps the file locked between calls.
TEST(ObjectStore, ReusedStatementsBindAfreshAndLeaveTheFileFree) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    auto context = ObjectStoreContext::open(path, notesModel(true));
    for (int32_t i = 0; i < 40; ++i) {
        auto row = context->insertNewObject("Note");
        row->setPrimitiveValueForKey("title", Value("n" + std::to_string(i)));
        row->setPrimitiveValueForKey("count", Value(i));
    }
    ASSERT_FALSE(context->save());
    for (int32_t i = 0; i < 40; i += 7) {
        auto rows =
            context->fetch("Note", Predicate::equal("title", Value("n" + std::to_string(i))));
        ASSERT_EQ(rows.size(), 1u) << i;
        EXPECT_EQ(rows[0]->primitiveValueForKey("count"), Value(i));
        EXPECT_EQ(context->count("Note", Predicate::greaterThan("count", Value(i))), 39 - i);
    }
    // Changes and deletions of many rows in one save, each with its own values.
    for (const auto& row : context->fetch("Note", Predicate::greaterThan("count", Value(29)))) {
        row->setPrimitiveValueForKey(
            "title", Value("late" + std::to_string(row->primitiveValueForKey("count").intValue())));
    }
    for (const auto& row : context->fetch("Note", Predicate::greaterThan("count", Value(35))))
        context->deleteObject(row);
    ASSERT_FALSE(context->save());
    EXPECT_EQ(context->count("Note"), 36);
    auto late = context->fetch("Note", Predicate::equal("title", Value("late33")));
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0]->primitiveValueForKey("count"), Value(int32_t{33}));
    EXPECT_TRUE(context->fetch("Note", Predicate::equal("title", Value("late37"))).empty());

    // Another connection writes (no statement of ours still holds the file), and the next fetch
    // sees its row. It waits a while for a lock, as every client of a shared store does: the
    // store's own checkpoint thread may hold one for a moment after a save.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    sqlite3_busy_timeout(other, 5000);
    EXPECT_EQ(sqlite3_exec(other,
                           "BEGIN IMMEDIATE; INSERT INTO \"Note\" (title, count) "
                           "VALUES ('other', 99); COMMIT",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(other);
    sqlite3_close(other);
    EXPECT_EQ(context->count("Note", Predicate::greaterThan("count", Value(int32_t{35}))), 1);
    EXPECT_EQ(context->fetch("Note", Predicate::equal("title", Value("other"))).size(), 1u);
}

TEST(ObjectStore, AnOlderSchemaGainsColumnsAndTablesAndKeepsItsRows) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    {
        auto old = ObjectStoreContext::open(path, notesModel(false));
        old->insertNewObject("Note")->setPrimitiveValueForKey("title", Value("kept"));
        ASSERT_FALSE(old->save());
    }
    auto context = ObjectStoreContext::open(path, notesModel(true));
    auto rows = context->fetch("Note", Predicate::truePredicate());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->primitiveValueForKey("title"), Value("kept"));
    EXPECT_EQ(rows[0]->primitiveValueForKey("count"), Value(int32_t{0}));
    context->insertNewObject("Tag")->setPrimitiveValueForKey("name", Value("new"));
    EXPECT_FALSE(context->save());
    EXPECT_EQ(context->count("Tag"), 1);
}

TEST(ObjectStore, DamagedFilesAreSetAsideLoggedAndReplacedByAnEmptyStore) {
    const auto folder = testing_support::freshTestFolder();
    const auto path = folder / "notes.sqlite";
    writeFile(folder / "other.txt", "untouched");

    // A real store cut in half, then plain garbage: each is moved aside under its own name.
    {
        auto context = ObjectStoreContext::open(path, notesModel(true));
        for (int i = 0; i < 400; ++i) {
            context->insertNewObject("Note")->setPrimitiveValueForKey(
                "title", Value(std::string(200, static_cast<char>('a' + i % 26))));
        }
        ASSERT_FALSE(context->save());
    }
    fs::resize_file(path, fs::file_size(path) / 2);
    for (const std::string& damage : {std::string("cut"), std::string("garbage")}) {
        if (damage == "garbage")
            writeFile(path, std::string(5000, 'G'));
        Ref<ObjectStoreContext> context;
        const auto lines =
            logged([&] { context = ObjectStoreContext::open(path, notesModel(true)); });
        ASSERT_TRUE(context->hasStore()) << damage;
        ASSERT_EQ(lines.size(), 1u) << damage;
        EXPECT_NE(lines[0].find("moved it aside"), std::string::npos) << lines[0];
        EXPECT_EQ(context->count("Note"), 0);
        context->insertNewObject("Note")->setPrimitiveValueForKey("title", Value("fresh"));
        EXPECT_FALSE(context->save());
    }
    EXPECT_TRUE(plat::FileManager::fileExists(folder / "notes.sqlite.corrupt"));
    EXPECT_EQ(plat::FileManager::fileSize(folder / "notes.sqlite.corrupt-2"), 5000u);
    EXPECT_EQ(plat::FileManager::fileSize(folder / "other.txt"), 9u);

    // A store that cannot be opened at all loses nothing silently: saves report it.
    auto nowhere = ObjectStoreContext::open(folder / "missing" / "x.sqlite", notesModel(true));
    EXPECT_FALSE(nowhere->hasStore());
    nowhere->insertNewObject("Note");
    EXPECT_TRUE(nowhere->save());
}

// A large save keeps nothing of what it wrote in memory: neither the rows nobody holds nor the
// room of its pending lists. (Sanitizer builds keep their own heap, where this reads zero.)
TEST(ObjectStore, ALargeSaveLeavesNothingHeld) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    auto context = ObjectStoreContext::open(path, notesModel(true));
    auto insert = [&](int n) {
        for (int32_t i = 0; i < n; ++i)
            context->insertNewObject("Note")->setPrimitiveValueForKey("count", Value(i));
    };
    insert(1);  // the statements and the page cache are made here
    ASSERT_FALSE(context->save());
    // In use, from the heap and from blocks of their own.
    auto inUse = [] {
        const auto info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t before = inUse();
    insert(20000);
    ASSERT_FALSE(context->save());
    const size_t after = inUse();
    EXPECT_LT(after, before + 64 * 1024) << "held " << (after - before) << " bytes";
    EXPECT_EQ(context->count("Note"), 20001);
}

// A new store is made with large pages and holds none of them once open; a store made before,
// with SQLite's 4 KB pages, keeps its pages and its rows. (Sanitizer builds keep their own heap,
// where the memory read here is zero.)
TEST(ObjectStore, NewStoresHaveLargePagesAndOldStoresKeepTheirs) {
    const auto folder = testing_support::freshTestFolder();
    auto pageSize = [](const fs::path& path) {
        sqlite3* db = nullptr;
        sqlite3_stmt* statement = nullptr;
        int size = 0;
        if (sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            size = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return size;
    };
    auto inUse = [] {
        const auto info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };

    const size_t before = inUse();
    auto fresh = ObjectStoreContext::open(folder / "new.sqlite", notesModel(true));
    ASSERT_TRUE(fresh->hasStore());
    EXPECT_LT(inUse(), before + 256 * 1024) << "held " << (inUse() - before) << " bytes";
    fresh->insertNewObject("Note")->setPrimitiveValueForKey("title", Value("new"));
    ASSERT_FALSE(fresh->save());
    EXPECT_EQ(pageSize(folder / "new.sqlite"), 16384);

    const auto oldPath = folder / "old.sqlite";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(oldPath.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "PRAGMA page_size = 4096; CREATE TABLE \"Note\" (rowid INTEGER "
                               "PRIMARY KEY, title TEXT); INSERT INTO \"Note\" (title) "
                               "VALUES ('kept')",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    auto old = ObjectStoreContext::open(oldPath, notesModel(true));
    ASSERT_TRUE(old->hasStore());
    auto rows = old->fetch("Note", Predicate::truePredicate());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->primitiveValueForKey("title"), Value("kept"));
    old->insertNewObject("Note")->setPrimitiveValueForKey("title", Value("added"));
    ASSERT_FALSE(old->save());
    EXPECT_EQ(old->count("Note"), 2);
    EXPECT_EQ(pageSize(oldPath), 4096);
}

// Many rows are written several to a statement: each row gets the number it would get alone (the
// largest so far plus one, in the order inserted, table by table), and that number leads to its
// own values, however the runs of each entity fall.
TEST(ObjectStore, ManyInsertsKeepTheirOrderNumbersAndValues) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    auto context = ObjectStoreContext::open(path, notesModel(true));
    context->insertNewObject("Note")->setPrimitiveValueForKey("title", Value("old"));
    ASSERT_FALSE(context->save());
    std::vector<Ref<plat::ManagedObject>> notes, tags;
    // Runs of one, of exactly a statement's rows, of several statements and a rest.
    int made = 0;
    for (int run : {1, 16, 37, 2, 16, 50}) {
        for (int i = 0; i < run; ++i, ++made) {
            auto row = context->insertNewObject("Note");
            row->setPrimitiveValueForKey("title", Value("n" + std::to_string(made)));
            row->setPrimitiveValueForKey("count", Value(int32_t{made}));
            notes.push_back(row);
        }
        auto tag = context->insertNewObject("Tag");
        tag->setPrimitiveValueForKey("name", Value("t" + std::to_string(made)));
        tags.push_back(tag);
    }
    ASSERT_FALSE(context->save());
    for (size_t i = 0; i < notes.size(); ++i)
        EXPECT_EQ(notes[i]->rowId(), static_cast<int64_t>(i) + 2) << i;
    for (size_t i = 0; i < tags.size(); ++i)
        EXPECT_EQ(tags[i]->rowId(), static_cast<int64_t>(i) + 1) << i;

    auto again = ObjectStoreContext::open(path, notesModel(true));
    for (const auto& note : notes) {
        const Value title = note->primitiveValueForKey("title");
        auto stored = again->fetch("Note", Predicate::equal("title", title));
        ASSERT_EQ(stored.size(), 1u) << title.description();
        EXPECT_EQ(stored[0]->rowId(), note->rowId());
        EXPECT_EQ(stored[0]->primitiveValueForKey("count"), note->primitiveValueForKey("count"));
        // This context hands out the row it saved for that number.
        EXPECT_EQ(context->fetch("Note", Predicate::equal("title", title))[0], note);
    }
    EXPECT_EQ(again->count("Tag"), static_cast<int64_t>(tags.size()));
}

// Rows given by their values are saved after the pending changes in the same transaction and get
// no objects until they are fetched; values are fitted as set ones are, and a save that refuses
// them writes nothing and leaves the pending changes pending.
TEST(ObjectStore, RowsSavedByTheirValuesGoWithThePendingChangesAndHaveObjectsOnlyWhenFetched) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    auto context = ObjectStoreContext::open(path, notesModel(true));
    const plat::EntityDescription& note = *context->entityNamed("Note");
    auto rowsOf = [](int from, int to) {
        std::vector<Value> values;
        for (int i = from; i < to; ++i) {
            values.emplace_back("v" + std::to_string(i));
            values.push_back(i % 5 ? Value(int64_t{i}) : Value::null());  // null: 0
            values.push_back(i % 7 ? Value(plat::Date{1700000000.0 + i}) : Value());
        }
        return values;
    };
    auto pending = context->insertNewObject("Note");
    pending->setPrimitiveValueForKey("title", Value("pending"));

    // Refused: a value of the wrong kind, a part of a row, another model's entity.
    auto wrong = rowsOf(0, 20);
    wrong[31] = Value("seven");
    EXPECT_TRUE(context->saveAddingRows(note, wrong));
    EXPECT_TRUE(context->saveAddingRows(note, std::vector<Value>(4, Value("x"))));
    const auto otherModel = notesModel(true);
    EXPECT_TRUE(context->saveAddingRows(*otherModel.entityNamed("Note"), rowsOf(0, 1)));
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(ObjectStoreContext::open(path, notesModel(true))->count("Note"), 0);

    // Runs of whole statements and a rest, after a pending insert and a pending change.
    ASSERT_FALSE(context->save());
    pending->setPrimitiveValueForKey("count", Value(int32_t{9}));
    auto added = context->insertNewObject("Note");
    added->setPrimitiveValueForKey("title", Value("added"));
    ASSERT_FALSE(context->saveAddingRows(note, rowsOf(0, 37)));
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(added->rowId(), pending->rowId() + 1);  // the objects' rows were numbered first

    auto again = ObjectStoreContext::open(path, notesModel(true));
    EXPECT_EQ(again->count("Note"), 39);
    EXPECT_EQ(
        again->fetch("Note", Predicate::equal("title", Value("pending")))[0]->primitiveValueForKey(
            "count"),
        Value(int32_t{9}));
    for (int i : {0, 14, 15, 36}) {
        const Value title("v" + std::to_string(i));
        auto stored = again->fetch("Note", Predicate::equal("title", title));
        ASSERT_EQ(stored.size(), 1u) << i;
        EXPECT_EQ(stored[0]->rowId(), added->rowId() + 1 + i);
        EXPECT_EQ(stored[0]->primitiveValueForKey("count"), Value(int32_t{i % 5 ? i : 0}));
        EXPECT_EQ(stored[0]->primitiveValueForKey("made"),
                  i % 7 ? Value(plat::Date{1700000000.0 + i}) : Value());
        // The saving context makes one object for the row when it is fetched, as for any.
        auto first = context->fetch("Note", Predicate::equal("title", title));
        ASSERT_EQ(first.size(), 1u);
        EXPECT_EQ(context->fetch("Note", Predicate::equal("title", title))[0], first[0]);
    }
}

// Past the largest row number SQLite picks free numbers at random: rows are then written one by
// one and still know their own numbers.
TEST(ObjectStore, RowsAfterTheLargestNumberKnowTheirOwnNumbers) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    { auto made = ObjectStoreContext::open(path, notesModel(true)); }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(
                  other, "INSERT INTO \"Note\" (rowid, title) VALUES (9223372036854775807, 'last')",
                  nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);

    auto context = ObjectStoreContext::open(path, notesModel(true));
    std::vector<Ref<plat::ManagedObject>> notes;
    for (int32_t i = 0; i < 40; ++i) {
        notes.push_back(context->insertNewObject("Note"));
        notes.back()->setPrimitiveValueForKey("title", Value("r" + std::to_string(i)));
    }
    ASSERT_FALSE(context->save());
    auto again = ObjectStoreContext::open(path, notesModel(true));
    for (const auto& note : notes) {
        auto stored =
            again->fetch("Note", Predicate::equal("title", note->primitiveValueForKey("title")));
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0]->rowId(), note->rowId());
    }
}

// A save goes to the store's log, which other connections read at once; a large one is copied
// into the store file by the store's own checkpoint while the program goes on, and closing the
// store leaves it whole, with no log beside it.
TEST(ObjectStore, SavesGoToTheLogWhichACheckpointCopiesIntoTheStore) {
    const auto path = testing_support::freshTestFolder() / "notes.sqlite";
    auto wal = path;
    wal += "-wal";
    auto ask = [&](const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_stmt* statement = nullptr;
        std::string text;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
            text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return text;
    };
    auto context = ObjectStoreContext::open(path, notesModel(true));
    EXPECT_EQ(ask("PRAGMA journal_mode"), "wal");
    const std::string text(2000, 'n');
    for (int32_t i = 0; i < 3000; ++i) {
        auto row = context->insertNewObject("Note");
        row->setPrimitiveValueForKey("title", Value(text + std::to_string(i)));
        row->setPrimitiveValueForKey("count", Value(i));
    }
    ASSERT_FALSE(context->save());
    EXPECT_EQ(ask("SELECT count(*) FROM \"Note\""), "3000");
    // The checkpoint runs on a thread of its own: the store file grows to hold the rows.
    for (int wait = 0; wait < 1000 && fs::file_size(path) < 3000 * text.size(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(fs::file_size(path), 3000 * text.size());
    // A small save after it is read back with the rest.
    context->insertNewObject("Note")->setPrimitiveValueForKey("title", Value("last"));
    ASSERT_FALSE(context->save());
    context.reset();
    EXPECT_FALSE(fs::exists(wal));
    EXPECT_EQ(ask("PRAGMA integrity_check"), "ok");
    auto again = ObjectStoreContext::open(path, notesModel(true));
    EXPECT_EQ(again->count("Note"), 3001);
    auto last = again->fetch("Note", Predicate::equal("count", Value(int32_t{2999})));
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0]->primitiveValueForKey("title"), Value(text + "2999"));
}
