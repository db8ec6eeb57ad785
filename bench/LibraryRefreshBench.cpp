// A 10,000-item library list refreshed into an empty store from the demo service's reply texts
// (one reference list, batches of 200 records), without sockets: each canned request runs the
// transport's parse and the session's mapping on its text. Compared in the same run with the bare
// parse of the same texts by our reader and by RapidJSON. Prints parse_ratio (refresh over bare
// parse; goal at most 3; also as the median ratio of rounds that run one of each in turn, which a
// machine whose speed drifts during the run skews less) and memory_ratio (heap in use, the blocks
// malloc maps apart included, with the list held and the replies freed, over the replies' JSON
// bytes; goal at most 3), and a refresh where 1 % of the items changed against the full refresh
// (goal at most 0.5). Beside them, floors measured in the same run: the refresh makes records of
// the replies and stores each as its record written, so the least it can cost is the records made
// from the replies (the parse included), their rows written (RapidJSON writing them again: the
// least writing them costs) and those rows inserted into SQLite (with the store's settings: its
// write-ahead log, not synced by a save; and with others).
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "HeapInUse.h"
#include "RatioReporter.h"
#include "TemporaryFolder.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/UserDefaults.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/domain/storage/VnDataContext.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

namespace {

constexpr size_t kIssues = 10000;

struct Replies {
    std::string meta;
    std::vector<std::string> batches;
    size_t bytes = 0;
    // The same library after 1 % of its issues were revised: the reference list, and the batch of
    // the revised issues.
    std::string revisedMeta;
    std::vector<std::string> revisedBatches;
    size_t revised = 0;
};

size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

std::string post(const std::string& url, const std::string& body,
                 const std::vector<std::string>& headers) {
    CURL* curl = curl_easy_init();
    curl_slist* list = curl_slist_append(nullptr, "Content-Type: application/json");
    for (const auto& header : headers)
        list = curl_slist_append(list, header.c_str());
    std::string reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_perform(curl);
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return reply;
}

// The demo's answers for a library of 10,000 issues, fetched once.
const Replies& replies() {
    static const Replies made = [] {
        Replies r;
        demo::SampleCatalogue catalogue;
        catalogue.generateItems(2 * kIssues, 3);
        demo::DemoService service, store;
        demo::registerVersion2Methods(service, catalogue);
        demo::registerStoreService(store, catalogue, "BENCH");
        service.start();
        store.start();
        r.meta =
            post(service.serviceUrl() + "/GetMetaMagazineIssueInfos",
                 R"({"magazineType":"Libraries","magazineCode":null,"optionalParams":null})", {});
        const auto meta = nlohmann::json::parse(r.meta)["d"];
        std::vector<std::string> codes;
        for (const auto& reference : meta)
            codes.push_back(reference["MagazineIssueCode"].get<std::string>());
        auto fetchBatches = [&](const std::vector<std::string>& asked) {
            std::vector<std::string> batches;
            for (size_t i = 0; i < asked.size(); i += 200) {
                nlohmann::json body = {
                    {"magazineIssueCodes",
                     std::vector<std::string>(
                         asked.begin() + static_cast<long>(i),
                         asked.begin() + static_cast<long>(std::min(i + 200, asked.size())))},
                    {"optionalParams", nullptr},
                    {"tokenContext",
                     {{"TokenVersion", "2"},
                      {"TokenKey", "guest"},
                      {"AppCode", "BENCH"},
                      {"IsTestUser", false}}}};
                batches.push_back(post(store.serviceUrl() + "/GetMagazineIssueInfos", body.dump(),
                                       {"TokenVersion: 2", "Authorization: Token token=\"guest\"",
                                        "Varnel-AppCode: BENCH"}));
            }
            return batches;
        };
        r.batches = fetchBatches(codes);
        r.bytes = r.meta.size();
        for (const auto& batch : r.batches)
            r.bytes += batch.size();

        std::vector<std::string> revised;
        for (size_t i = 0; i < codes.size(); i += 100) {
            catalogue.reviseItem(codes[i]);
            revised.push_back(codes[i]);
        }
        r.revisedMeta =
            post(service.serviceUrl() + "/GetMetaMagazineIssueInfos",
                 R"({"magazineType":"Libraries","magazineCode":null,"optionalParams":null})", {});
        r.revisedBatches = fetchBatches(revised);
        r.revised = revised.size();
        return r;
    }();
    return made;
}

// The answer of a reply mapped as a session maps it.
plat::Value mapAnswer(const Ref<VnRequestContext>& mapper, const plat::Value& answer) {
    if (auto v2 = std::dynamic_pointer_cast<VnClientServiceRemoteRequest>(mapper))
        return v2->mapReturnValue(answer);
    if (auto v3 = std::dynamic_pointer_cast<VnServiceRemoteRequest>(mapper))
        return v3->mapReturnValue(answer);
    return plat::Value();
}

// A request answering one reply text through the transport's parse and a session's mapping. As
// the transport does, a request that keeps received text hands its received bytes (a copy made
// before the timing) over to the parse; any other parses the text where it lies.
class CannedReply : public VnRequestContext {
  public:
    CannedReply(const std::string* text, Ref<VnRequestContext> mapper, plat::Bytes* received)
        : text_(text), mapper_(std::move(mapper)), received_(received) {}

  protected:
    void coreStart() override {
        mapper_->setKeepsReceivedText(keepsReceivedText());
        plat::Value reply = keepsReceivedText() && received_
                                ? objectFromJSONDataKeepingText(std::move(*received_))
                                : objectFromJSONString(*text_);
        plat::Value answer =
            reply.dictionary() ? reply.dictionary()->objectForKey("d") : plat::Value();
        coreQueueNotifyFinishWithResult(
            VnRequestResult::resultWithReturnValue(mapAnswer(mapper_, answer), nullptr));
    }

  private:
    const std::string* text_;
    Ref<VnRequestContext> mapper_;
    plat::Bytes* received_;
};

// The bytes of each text as the transport holds them once they have arrived.
struct Received {
    explicit Received(const std::string& meta, const std::vector<std::string>& batches)
        : meta(meta.begin(), meta.end()) {
        for (const auto& batch : batches)
            this->batches.emplace_back(batch.begin(), batch.end());
    }
    plat::Bytes meta;
    std::vector<plat::Bytes> batches;
};

class CannedRefresh : public VnMagazineIssueDomainUpdatingRequest {
  public:
    using VnMagazineIssueDomainUpdatingRequest::VnMagazineIssueDomainUpdatingRequest;
    const std::vector<std::string>* batches = &replies().batches;
    std::vector<plat::Bytes>* received = nullptr;
    size_t nextBatch = 0;

  protected:
    Ref<VnRequestContext> makeBatchRequest(const Ref<plat::Array>& codes) override {
        auto mapper = domain()->storeRemoteSession()->newMagazineIssueInfosRequestWithCodes(codes);
        const size_t batch = nextBatch++;
        return std::make_shared<CannedReply>(&batches->at(batch), mapper,
                                             received ? &received->at(batch) : nullptr);
    }
};

struct Library {
    Ref<VnBookStoreContext> context;
    Ref<VnMagazineIssueDomain> domain;
};

// Each library lives in a fresh folder below the run's own; a round's files go when the next
// round starts, and the whole folder when the program ends.
Library freshLibrary() {
    static const bench::TemporaryFolder folder("varnel-refresh-bench");
    static int round = 0;
    if (round > 0)
        std::filesystem::remove_all(folder / std::to_string(round - 1));
    const auto home = folder / std::to_string(round++);
    std::filesystem::create_directories(home);
    setenv("VARNEL_HOME", home.c_str(), 1);
    plat::UserDefaults::resetStandardUserDefaults();
    auto configuration = std::make_shared<VnClientServiceConfiguration>();
    configuration->setAppCode("BENCH");
    configuration->setStoreServiceURL("http://127.0.0.1:9/store.svc");
    Library library;
    library.context = VnBookStoreContextFactory(*plat::Url::parse("http://127.0.0.1:9/service.svc"),
                                                configuration)
                          .newContext();
    library.context->serviceSession()->notifyAuthenticatedWithUserName("bench");  // no gate
    library.domain = library.context->activeUserContext()->libraryDomain();
    return library;
}

// Whether the library's table holds at least `rows` rows with nothing left unsaved: a save that
// fails only logs its error and keeps its rows pending, which must not pass as a fast refresh.
bool storedAtLeast(const Library& library, size_t rows) {
    auto table = library.context->activeUserContext()->userStorage()->dataTableForMagazineIssueKind(
        std::string(VnMagazineIssueKind_Library));
    auto core = std::dynamic_pointer_cast<VnCoreDataContext>(table->dataContext());
    return core && !core->objectContext()->hasChanges() &&
           static_cast<size_t>(std::max(core->itemCount(), 0)) >= rows;
}

// Refreshes the library from the reference list and batches given (their bytes as received, to
// be taken by the refresh), starting from the snapshot; answers how many items it holds then, or
// 0 when the refresh failed.
size_t refresh(const Library& library, const std::string& meta,
               const std::vector<std::string>& batches, Received& received,
               Ref<VnLocalSnapshot> from) {
    auto metaMapper =
        library.context->serviceSession()->requestForMetaMagazineIssueInfosWithMagazineType(
            std::string(VnMagazineIssueKind_Library), std::nullopt, VnIndexRange{0, 0});
    // Kept as it came, as the list's own reference request is.
    auto metaReply = std::make_shared<CannedReply>(&meta, metaMapper, &received.meta);
    metaReply->setKeepsReceivedText(true);
    auto request = std::make_shared<CannedRefresh>(library.domain, metaReply, std::move(from));
    request->batches = &batches;
    request->received = &received.batches;
    request->setForceUpdate(true);  // the snapshot of the first refresh is fresh
    bool done = false, succeeded = false;
    request->startWithDidFinishBlock([&](const Ref<VnRequestResult>& result, auto&) {
        succeeded = result && result->succeed();
        done = true;
    });
    plat::RunLoop::current().runUntil([&] { return done; }, 600);
    return succeeded && request->nextBatch == batches.size() ? library.domain->items().size() : 0;
}

size_t refresh(const Library& library) {
    Received received(replies().meta, replies().batches);
    return refresh(library, replies().meta, replies().batches, received, VnLocalSnapshot::empty());
}

void BM_LibraryRefresh(benchmark::State& state) {
    replies();
    for (auto _ : state) {
        state.PauseTiming();
        auto library = freshLibrary();
        Received received(replies().meta, replies().batches);
        state.ResumeTiming();
        const size_t held =
            refresh(library, replies().meta, replies().batches, received, VnLocalSnapshot::empty());
        state.PauseTiming();
        if (held < kIssues || !storedAtLeast(library, held))
            state.SkipWithError("the list is incomplete");
        library = {};
        plat::RunLoop::current().runUntil([] { return false; }, 0.01);
        state.ResumeTiming();
    }
}

// The refreshed library refreshed again after 1 % of its issues were revised.
void BM_LibraryRefreshOnePercent(benchmark::State& state) {
    const auto& r = replies();
    for (auto _ : state) {
        state.PauseTiming();
        auto library = freshLibrary();
        const size_t first = refresh(library);
        if (first < kIssues || !storedAtLeast(library, first)) {
            state.SkipWithError("the first refresh is incomplete");
            break;
        }
        Received received(r.revisedMeta, r.revisedBatches);
        state.ResumeTiming();
        const size_t held = refresh(library, r.revisedMeta, r.revisedBatches, received,
                                    library.domain->takeLocalSnapshot());
        state.PauseTiming();
        if (held < kIssues || !storedAtLeast(library, held) || r.revised < kIssues / 100) {
            state.SkipWithError("the second refresh is incomplete");
            break;
        }
        library = {};
        plat::RunLoop::current().runUntil([] { return false; }, 0.01);
        state.ResumeTiming();
    }
}

// Our bare parse of every reply, the reference list and the batches.
void bareParse(const Replies& r) {
    benchmark::DoNotOptimize(objectFromJSONString(r.meta));
    for (const auto& batch : r.batches)
        benchmark::DoNotOptimize(objectFromJSONString(batch));
}

void BM_BareParse_Varnel(benchmark::State& state) {
    const auto& r = replies();
    for (auto _ : state)
        bareParse(r);
}

void BM_BareParse_RapidJSON(benchmark::State& state) {
    const auto& r = replies();
    for (auto _ : state) {
        rapidjson::Document meta;
        meta.Parse<rapidjson::kParseValidateEncodingFlag>(r.meta.data(), r.meta.size());
        benchmark::DoNotOptimize(meta.IsObject());
        for (const auto& batch : r.batches) {
            rapidjson::Document d;
            d.Parse<rapidjson::kParseValidateEncodingFlag>(batch.data(), batch.size());
            benchmark::DoNotOptimize(d.IsObject());
        }
    }
}

// The least that storing the rows costs: the rows a full refresh stored (the records written),
// read back once, inserted with their codes into a fresh SQLite file of the store's schema in one
// transaction: with the store's page size and SQLite's rollback journal, the file synced on commit
// (as the store was made before it kept a log), with the largest pages SQLite has and the same
// journal and sync (64 KB pages), with the fastest SQLite has (64 KB pages, no journal, no sync),
// which a store that must survive a crash cannot use, and with the store's own settings read from
// its file: its page size and its write-ahead log, which a save appends to without a sync (the log
// is copied into the store later, off the refresh's path). Beside it, the same rows written again
// by RapidJSON from parsed documents: the least writing them costs.
struct StoredRows {
    std::vector<std::pair<std::string, std::string>> rows;  // code, row text
    size_t bytes = 0;
    // What the store made its file with: the statements making the table and its index, and
    // the page size.
    std::vector<std::string> schema;
    int pageSize = 0;
    std::string journalMode;
};

// Runs the statement, calling fn with each row's text columns; answers whether it ran to the end.
template <class Fn>
bool eachRow(sqlite3* db, const char* sql, Fn&& fn) {
    sqlite3_stmt* statement = nullptr;
    bool ok = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK;
    int step = SQLITE_DONE;
    while (ok && (step = sqlite3_step(statement)) == SQLITE_ROW) {
        fn([&](int column) {
            const auto* bytes = sqlite3_column_text(statement, column);
            return bytes ? std::string(reinterpret_cast<const char*>(bytes),
                                       static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                         : std::string();
        });
    }
    sqlite3_finalize(statement);
    return ok && step == SQLITE_DONE;
}

const StoredRows& storedRows() {
    static const StoredRows made = [] {
        StoredRows stored;
        auto library = freshLibrary();
        if (refresh(library) < kIssues || !storedAtLeast(library, kIssues))
            return stored;
        auto table =
            library.context->activeUserContext()->userStorage()->dataTableForMagazineIssueKind(
                std::string(VnMagazineIssueKind_Library));
        auto core = std::dynamic_pointer_cast<VnCoreDataContext>(table->dataContext());
        sqlite3* db = nullptr;
        const bool read =
            sqlite3_open_v2(core->objectContext()->path().c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr) == SQLITE_OK &&
            eachRow(db, "SELECT code, jsonString FROM JSONMagazineIssueInfoLibrary ORDER BY rowid",
                    [&](const auto& text) {
                        stored.rows.emplace_back(text(0), text(1));
                        stored.bytes += stored.rows.back().second.size();
                    }) &&
            eachRow(db,
                    "SELECT sql FROM sqlite_master WHERE tbl_name = "
                    "'JSONMagazineIssueInfoLibrary' AND sql IS NOT NULL ORDER BY type DESC",
                    [&](const auto& text) { stored.schema.push_back(text(0)); }) &&
            eachRow(db, "PRAGMA page_size",
                    [&](const auto& text) { stored.pageSize = std::atoi(text(0).c_str()); }) &&
            eachRow(db, "PRAGMA journal_mode",
                    [&](const auto& text) { stored.journalMode = text(0); });
        sqlite3_close_v2(db);
        if (!read || stored.schema.empty() || stored.pageSize <= 0)
            stored.rows.clear();  // the floors report that nothing was read
        return stored;
    }();
    return made;
}

void BM_Floor_RapidJSONWrite(benchmark::State& state) {
    const auto& stored = storedRows();
    if (stored.rows.size() < kIssues) {
        state.SkipWithError("no stored rows");
        return;
    }
    std::vector<rapidjson::Document> documents(stored.rows.size());
    for (size_t i = 0; i < documents.size(); ++i) {
        documents[i].Parse(stored.rows[i].second.data(), stored.rows[i].second.size());
        if (documents[i].HasParseError()) {
            state.SkipWithError("a stored row is not JSON");
            return;
        }
    }
    size_t written = 0;
    for (auto _ : state) {
        written = 0;
        for (const auto& document : documents) {
            rapidjson::StringBuffer buffer;
            rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
            document.Accept(writer);
            written += buffer.GetSize();
        }
        benchmark::DoNotOptimize(written);
    }
    // The writer must have produced about as much text as was stored (it may escape otherwise).
    if (written < stored.bytes * 9 / 10 || written > stored.bytes * 11 / 10)
        state.SkipWithError("the written texts differ in size from the stored rows");
    state.counters["row_bytes"] = static_cast<double>(stored.bytes);
}

// Inserts the rows into a fresh file at the path with settings 0-3 (see above); answers the
// seconds the insert took, or a negative number when not every row reached the file.
double insertRows(const StoredRows& stored, int setting, const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    const std::string settings[] = {
        "PRAGMA page_size = " + std::to_string(stored.pageSize) + ";", "PRAGMA page_size = 65536;",
        "PRAGMA page_size = 65536; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;",
        "PRAGMA page_size = " + std::to_string(stored.pageSize) +
            "; PRAGMA journal_mode = " + stored.journalMode +
            "; PRAGMA synchronous = NORMAL; PRAGMA wal_autocheckpoint = 0;"
            " PRAGMA cache_size = -65536;"};
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr) == SQLITE_OK &&
              sqlite3_exec(db, settings[std::clamp(setting, 0, 3)].c_str(), nullptr, nullptr,
                           nullptr) == SQLITE_OK;
    for (const auto& statement : stored.schema)
        ok = ok && sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    const auto start = std::chrono::steady_clock::now();
    // Sixteen rows to a statement, as the store inserts them; one at a time for the rest.
    constexpr size_t kRowsPerStatement = 16;
    auto prepare = [&](size_t rows) {
        std::string sql = "INSERT INTO JSONMagazineIssueInfoLibrary (code, jsonString) VALUES ";
        for (size_t i = 0; i < rows; ++i)
            sql += i ? ", (?, ?)" : "(?, ?)";
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        return statement;
    };
    ok = ok && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* many = ok ? prepare(kRowsPerStatement) : nullptr;
    sqlite3_stmt* one = ok ? prepare(1) : nullptr;
    ok = ok && many && one;
    for (size_t i = 0; ok && i < stored.rows.size();) {
        const size_t rows = stored.rows.size() - i >= kRowsPerStatement ? kRowsPerStatement : 1;
        sqlite3_stmt* insert = rows == 1 ? one : many;
        for (size_t row = 0; row < rows; ++row, ++i) {
            const auto& [code, text] = stored.rows[i];
            const int column = static_cast<int>(2 * row);
            sqlite3_bind_text(insert, column + 1, code.data(), static_cast<int>(code.size()),
                              SQLITE_STATIC);
            sqlite3_bind_text(insert, column + 2, text.data(), static_cast<int>(text.size()),
                              SQLITE_STATIC);
        }
        ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(many);
    sqlite3_finalize(one);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    const auto end = std::chrono::steady_clock::now();
    // Every row must have reached the file.
    sqlite3_stmt* count = nullptr;
    ok = ok &&
         sqlite3_prepare_v2(db, "SELECT count(*) FROM JSONMagazineIssueInfoLibrary", -1, &count,
                            nullptr) == SQLITE_OK &&
         sqlite3_step(count) == SQLITE_ROW &&
         static_cast<size_t>(sqlite3_column_int64(count, 0)) == stored.rows.size();
    sqlite3_finalize(count);
    sqlite3_close_v2(db);
    std::filesystem::remove(path);
    return ok ? std::chrono::duration<double>(end - start).count() : -1;
}

// A fresh file for a floor's rows, in a folder of the run's own.
std::filesystem::path floorFile() {
    static const bench::TemporaryFolder folder("varnel-refresh-floor");
    static int round = 0;
    return folder / ("floor" + std::to_string(round++) + ".sqlite");
}

// The stored rows inserted with settings 0-3.
void BM_Floor_SQLiteInsert(benchmark::State& state) {
    const auto& stored = storedRows();
    if (stored.rows.size() < kIssues) {
        state.SkipWithError("no stored rows");
        return;
    }
    for (auto _ : state) {
        const double seconds = insertRows(stored, static_cast<int>(state.range(0)), floorFile());
        if (seconds < 0) {
            state.SkipWithError("the rows could not be stored");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["row_bytes"] = static_cast<double>(stored.bytes);
}

// The least this design costs before it lists or stores anything: the replies read keeping their
// text and made into records by the sessions' mapping, as the refresh makes them (the parse
// included); the records go outside the timing, as a refreshed list's do.
class RecordMaker {
  public:
    RecordMaker() : library_(freshLibrary()) {
        references_ =
            library_.context->serviceSession()->requestForMetaMagazineIssueInfosWithMagazineType(
                std::string(VnMagazineIssueKind_Library), std::nullopt, VnIndexRange{0, 0});
        items_ = library_.domain->storeRemoteSession()->newMagazineIssueInfosRequestWithCodes(
            plat::Array::make({}));
        references_->setKeepsReceivedText(true);
        items_->setKeepsReceivedText(true);
    }
    // The seconds that making the records of every reply took, and how many were made.
    std::pair<double, size_t> make(const Replies& r) {
        Received received(r.meta, r.batches);
        std::vector<plat::Value> kept;
        size_t made = 0;
        auto map = [&](plat::Bytes& bytes, const Ref<VnRequestContext>& mapper) {
            plat::Value reply = objectFromJSONDataKeepingText(std::move(bytes));
            auto answer =
                reply.dictionary() ? reply.dictionary()->objectForKey("d") : plat::Value();
            kept.push_back(mapAnswer(mapper, answer));
            made += kept.back().array() ? kept.back().array()->count() : 0;
        };
        const auto start = std::chrono::steady_clock::now();
        map(received.meta, references_);
        for (auto& batch : received.batches)
            map(batch, items_);
        const auto end = std::chrono::steady_clock::now();
        return {std::chrono::duration<double>(end - start).count(), made};
    }

  private:
    Library library_;
    Ref<VnRequestContext> references_;
    Ref<VnRequestContext> items_;
};

void BM_Floor_Records(benchmark::State& state) {
    RecordMaker maker;
    size_t made = 0;
    for (auto _ : state) {
        const auto [seconds, count] = maker.make(replies());
        state.SetIterationTime(seconds);
        made = count;
    }
    if (made < 2 * kIssues)
        state.SkipWithError("the replies did not all become records");
    state.counters["records"] = static_cast<double>(made);
}

// The full refresh, the bare parse and the floors of this design in turn, each round one of each,
// so that a machine whose speed drifts during the run slows them alike: the medians of the
// rounds' ratios to the parse.
void BM_RefreshOverParseInTurn(benchmark::State& state) {
    const auto& r = replies();
    const auto& stored = storedRows();
    RecordMaker maker;
    std::vector<double> refreshRatios, recordRatios, insertRatios;
    bool complete = stored.rows.size() >= kIssues;
    for (auto _ : state) {
        auto library = freshLibrary();
        Received received(r.meta, r.batches);
        const auto start = std::chrono::steady_clock::now();
        bareParse(r);
        const auto parsed = std::chrono::steady_clock::now();
        const size_t held = refresh(library, r.meta, r.batches, received, VnLocalSnapshot::empty());
        const auto refreshed = std::chrono::steady_clock::now();
        const auto [recordSeconds, records] = maker.make(r);
        const double insertSeconds = insertRows(stored, 3, floorFile());
        complete = complete && held >= kIssues && storedAtLeast(library, held) &&
                   records >= 2 * kIssues && insertSeconds > 0;
        const double parse = std::chrono::duration<double>(parsed - start).count();
        refreshRatios.push_back(std::chrono::duration<double>(refreshed - parsed).count() / parse);
        recordRatios.push_back(recordSeconds / parse);
        insertRatios.push_back(insertSeconds / parse);
        library = {};
        plat::RunLoop::current().runUntil([] { return false; }, 0.01);
    }
    if (!complete)
        state.SkipWithError("a refresh or a floor was incomplete");
    auto median = [](std::vector<double>& ratios) {
        std::sort(ratios.begin(), ratios.end());
        return ratios.empty() ? 0 : ratios[ratios.size() / 2];
    };
    state.counters["parse_ratio"] = median(refreshRatios);
    state.counters["records"] = median(recordRatios);
    state.counters["inserted"] = median(insertRatios);
}

BENCHMARK(BM_LibraryRefresh)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LibraryRefreshOnePercent)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BareParse_Varnel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshOverParseInTurn)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_BareParse_RapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_Records)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_Floor_RapidJSONWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_SQLiteInsert)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    plat::Keychain::setShared(
        std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Heap in use with one refreshed list held, the reply texts counted apart; the large blocks
    // that malloc maps apart count too.
    const auto& r = replies();
    const size_t before = bench::heapInUse();
    auto library = freshLibrary();
    const size_t held = refresh(library);
    plat::RunLoop::current().runUntil([] { return false; }, 0.05);
    const size_t after = bench::heapInUse();
    if (held < kIssues || !storedAtLeast(library, held)) {
        std::fprintf(stderr, "the refresh measured for memory is incomplete\n");
        return 1;
    }
    std::printf("\nlist of %zu issues, %zu reply bytes in %zu texts\n", held, r.bytes,
                r.batches.size() + 1);
    reporter.printRatio("parse_ratio (refresh / bare parse, ours; goal <= 3)",
                        "BM_LibraryRefresh/iterations:3", "BM_BareParse_Varnel");
    const std::string inTurn = "BM_RefreshOverParseInTurn/iterations:9";
    const double refreshInTurn = reporter.counter(inTurn, "parse_ratio");
    const double recordsInTurn = reporter.counter(inTurn, "records");
    const double insertInTurn = reporter.counter(inTurn, "inserted");
    if (refreshInTurn > 0) {
        std::printf("%-60s %6.2fx\n", "parse_ratio, refresh and parse in turn (median of 9)",
                    refreshInTurn);
        std::printf("%-60s %6.2fx\n", "  in turn: records + stored rows inserted (writing apart)",
                    recordsInTurn + insertInTurn);
        std::printf("%-60s %6.2fx\n", "  in turn: records made from the replies (parse incl.)",
                    recordsInTurn);
        std::printf("%-60s %6.2fx\n", "  in turn: stored rows inserted, the store's", insertInTurn);
    }
    reporter.printRatio("refresh / bare parse, RapidJSON", "BM_LibraryRefresh/iterations:3",
                        "BM_BareParse_RapidJSON");
    reporter.printRatio("1 % changed / full refresh (goal <= 0.5)",
                        "BM_LibraryRefreshOnePercent/iterations:3",
                        "BM_LibraryRefresh/iterations:3");
    const double records =
        reporter.ratio("BM_Floor_Records/iterations:3/manual_time", "BM_BareParse_Varnel");
    const double write = reporter.ratio("BM_Floor_RapidJSONWrite", "BM_BareParse_Varnel");
    double insert[4];
    for (int settings = 0; settings < 4; ++settings)
        insert[settings] = reporter.ratio(
            "BM_Floor_SQLiteInsert/" + std::to_string(settings) + "/iterations:5/manual_time",
            "BM_BareParse_Varnel");
    auto print = [](const std::string& label, double ratio) {
        if (ratio > 0)
            std::printf("%-60s %6.2fx\n", label.c_str(), ratio);
    };
    const std::string pages = std::to_string(storedRows().pageSize / 1024) + " KB";
    print("floor: stored rows inserted, journal, synced (" + pages + ")", insert[0]);
    print("floor: stored rows inserted, 64 KB pages", insert[1]);
    print("floor: stored rows inserted, no journal, no sync", insert[2]);
    print("floor: stored rows inserted, the store's (" + storedRows().journalMode + ")", insert[3]);
    print("floor: records made from the replies (parse included)", records);
    print("floor: rows written by RapidJSON", write);
    if (records > 0 && write > 0 && insert[3] > 0)
        print("floor of this design: records + rows written + inserted",
              records + write + insert[3]);
    std::printf(
        "%-60s %6.2fx\n", "memory_ratio (heap with the list held / JSON bytes; goal <= 3)",
        static_cast<double>(after > before ? after - before : 0) / static_cast<double>(r.bytes));
    benchmark::Shutdown();
    return 0;
}
