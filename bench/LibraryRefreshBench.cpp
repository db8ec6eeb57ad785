// A 10,000-item library list refreshed into an empty store from the demo service's reply texts
// (one reference list, batches of 200 records), without sockets: each canned request runs the
// transport's parse and the session's mapping on its text. Compared in the same run with the bare
// parse of the same texts by our reader and by RapidJSON. Prints parse_ratio (refresh over bare
// parse; goal at most 2) and memory_ratio (heap in use with the list held and the replies freed,
// over the replies' JSON bytes; goal at most 3), and a refresh where 1 % of the items changed
// against the full refresh (goal at most 0.5).
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <malloc.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

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

// A request answering one reply text through the transport's parse and a session's mapping.
class CannedReply : public VnRequestContext {
  public:
    CannedReply(const std::string* text, Ref<plat::Object> mapper)
        : text_(text), mapper_(std::move(mapper)) {}

  protected:
    void coreStart() override {
        plat::Value reply = objectFromJSONString(*text_);
        plat::Value answer =
            reply.dictionary() ? reply.dictionary()->objectForKey("d") : plat::Value();
        plat::Value mapped;
        if (auto v2 = std::dynamic_pointer_cast<VnClientServiceRemoteRequest>(mapper_))
            mapped = v2->mapReturnValue(answer);
        else if (auto v3 = std::dynamic_pointer_cast<VnServiceRemoteRequest>(mapper_))
            mapped = v3->mapReturnValue(answer);
        coreQueueNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(mapped, nullptr));
    }

  private:
    const std::string* text_;
    Ref<plat::Object> mapper_;
};

class CannedRefresh : public VnMagazineIssueDomainUpdatingRequest {
  public:
    using VnMagazineIssueDomainUpdatingRequest::VnMagazineIssueDomainUpdatingRequest;
    const std::vector<std::string>* batches = &replies().batches;
    size_t nextBatch = 0;

  protected:
    Ref<VnRequestContext> makeBatchRequest(const Ref<plat::Array>& codes) override {
        auto mapper = domain()->storeRemoteSession()->newMagazineIssueInfosRequestWithCodes(codes);
        return std::make_shared<CannedReply>(&batches->at(nextBatch++), mapper);
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

// Refreshes the library from the reference list and batches given, starting from the snapshot;
// answers how many items it holds then, or 0 when the refresh failed.
size_t refresh(const Library& library, const std::string& meta,
               const std::vector<std::string>& batches, Ref<VnLocalSnapshot> from) {
    auto metaMapper =
        library.context->serviceSession()->requestForMetaMagazineIssueInfosWithMagazineType(
            std::string(VnMagazineIssueKind_Library), std::nullopt, VnIndexRange{0, 0});
    auto request = std::make_shared<CannedRefresh>(
        library.domain, std::make_shared<CannedReply>(&meta, metaMapper), std::move(from));
    request->batches = &batches;
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
    return refresh(library, replies().meta, replies().batches, VnLocalSnapshot::empty());
}

void BM_LibraryRefresh(benchmark::State& state) {
    replies();
    for (auto _ : state) {
        state.PauseTiming();
        auto library = freshLibrary();
        state.ResumeTiming();
        const size_t held = refresh(library);
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
        state.ResumeTiming();
        const size_t held =
            refresh(library, r.revisedMeta, r.revisedBatches, library.domain->takeLocalSnapshot());
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

void BM_BareParse_Varnel(benchmark::State& state) {
    const auto& r = replies();
    for (auto _ : state) {
        benchmark::DoNotOptimize(objectFromJSONString(r.meta));
        for (const auto& batch : r.batches)
            benchmark::DoNotOptimize(objectFromJSONString(batch));
    }
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

BENCHMARK(BM_LibraryRefresh)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LibraryRefreshOnePercent)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BareParse_Varnel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareParse_RapidJSON)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    plat::Keychain::setShared(
        std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Heap in use with one refreshed list held, the reply texts counted apart.
    const auto& r = replies();
    const size_t before = mallinfo2().uordblks;
    auto library = freshLibrary();
    const size_t held = refresh(library);
    plat::RunLoop::current().runUntil([] { return false; }, 0.05);
    const size_t after = mallinfo2().uordblks;
    if (held < kIssues || !storedAtLeast(library, held)) {
        std::fprintf(stderr, "the refresh measured for memory is incomplete\n");
        return 1;
    }
    std::printf("\nlist of %zu issues, %zu reply bytes in %zu texts\n", held, r.bytes,
                r.batches.size() + 1);
    reporter.printRatio("parse_ratio (refresh / bare parse, ours; goal <= 2)",
                        "BM_LibraryRefresh/iterations:3", "BM_BareParse_Varnel");
    reporter.printRatio("refresh / bare parse, RapidJSON", "BM_LibraryRefresh/iterations:3",
                        "BM_BareParse_RapidJSON");
    reporter.printRatio("1 % changed / full refresh (goal <= 0.5)",
                        "BM_LibraryRefreshOnePercent/iterations:3",
                        "BM_LibraryRefresh/iterations:3");
    std::printf(
        "%-60s %6.2fx\n", "memory_ratio (heap with the list held / JSON bytes; goal <= 3)",
        static_cast<double>(after > before ? after - before : 0) / static_cast<double>(r.bytes));
    benchmark::Shutdown();
    return 0;
}
