#include "demo-service/DemoStoreItems.h"

#include <cmath>
#include <ctime>
#include <map>

namespace demo {
namespace {

struct Seed {
    int rank = 0;
    int primaryRank = 0;
    const char* secondaryCategory = "";
    int secondaryRank = 0;
    double megabytes = -1;  // below 0: from the file's bytes
    bool membersOnly = false;
    int video = 0, image = 0, audio = 0;
    double interactiveMegabytes = 0;
};

const std::map<std::string, Seed, std::less<>>& seeds() {
    static const std::map<std::string, Seed, std::less<>> table = {
        {"BK0001", {10000, 3, "นวนิยายคลาสสิก", 0, 12.5}},
        {"BK0002", {10001, 12, "", 0}},
        {"BK0003", {0, 0, "Children", 4}},
        {"BK0004", {250, 0, "", 0, -1, true}},
        {"BK0006", {1520, 1, "Romance", 2, -1, false, 0, 0, 1, 1.5}},
        {"MG01-2403", {88, 2, "", 0, -1, false, 1, 1, 0, 3.25}},
    };
    return table;
}

std::string storeDayText(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[16];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, "%d%m%Y", &parts));
}

void setIfMissing(Json& record, const char* key, Json value) {
    if (!record.contains(key) || record[key].is_null())
        record[key] = std::move(value);
}

}  // namespace

void addStoreItemFields(Json& record, const SampleCatalogue& catalogue, const SampleItem& item) {
    const auto found = seeds().find(item.code);
    const Seed seed = found == seeds().end() ? Seed{} : found->second;
    const int remaining = catalogue.availableCopies(item.code);
    setIfMissing(record, "RemainingIssues", remaining);
    if (remaining == 0) {
        if (const auto due = catalogue.earliestDue(item.code))
            setIfMissing(record, "ReturnDate", storeDayText(*due));
    }
    setIfMissing(record, "BestSellerRank", seed.rank);
    setIfMissing(record, "BestSellerPrimaryCateRank", seed.primaryRank);
    setIfMissing(record, "SecondaryCategoryName", seed.secondaryCategory);
    setIfMissing(record, "BestSellerSecondaryCateRank", seed.secondaryRank);
    setIfMissing(record, "SubscriptionRequire", seed.membersOnly);
    setIfMissing(record, "Country", item.language == "th" ? "Thailand" : "United Kingdom");
    setIfMissing(record, "InteractiveSize", seed.interactiveMegabytes);
    setIfMissing(record, "SupportInteractiveVideo", seed.video);
    setIfMissing(record, "SupportInteractiveImage", seed.image);
    setIfMissing(record, "SupportInteractiveAudio", seed.audio);
    if (!item.titleCode.empty() && !item.withoutParentCode)
        setIfMissing(record, "ParentCode", item.titleCode);
    record["FileSize"] = seed.megabytes >= 0
                             ? seed.megabytes
                             : std::round(static_cast<double>(item.fileSize) / 10485.76) / 100;
}

}  // namespace demo
