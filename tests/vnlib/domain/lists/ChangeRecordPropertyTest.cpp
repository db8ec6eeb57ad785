// The list difference against a brute-force reading of its rules, over random lists of few
// codes, under the default change test and the magazine refresh's test.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <tuple>

#include "DomainTestSupport.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/domain/lists/VnMagazineDomain.h"

namespace {

using Check = VnLocalSnapshot::UpdateCheck;

std::optional<std::string> hashOf(const Ref<VnInfo>& info) {
    return std::static_pointer_cast<VnMagazineInfo>(info)->hashString();
}
int32_t sortOf(const Ref<VnInfo>& info) {
    return std::static_pointer_cast<VnMagazineInfo>(info)->sortIndex_;
}

// "Changed when the hashes differ as text or only one is present; equal hashes: when the sort
// indexes differ; both absent: unchanged."
bool titleChanged(const Ref<VnInfo>& reference, const Ref<VnInfo>& held) {
    const auto r = hashOf(reference);
    const auto h = hashOf(held);
    if (!r && !h)
        return false;
    if (r.has_value() != h.has_value() || *r != *h)
        return true;
    return sortOf(reference) != sortOf(held);
}

struct Change {
    int32_t type;
    Ref<VnInfo> original;
    Ref<VnInfo> updated;
    bool operator==(const Change&) const = default;
};

// Each new item in order: the last old item of its code decides new or (when the test says so)
// modified; then each old item in order whose code no new item has is removed.
std::vector<Change> referenceDifference(const VnInfoList& old, const VnInfoList& now,
                                        const Check& check) {
    std::vector<Change> out;
    for (const auto& n : now) {
        Ref<VnInfo> match;
        for (const auto& o : old) {
            if (o->code() == n->code())
                match = o;
        }
        if (!match)
            out.push_back({VnDataChangeRecord::New, nullptr, n});
        else if (check(n, match))
            out.push_back({VnDataChangeRecord::Modified, match, n});
    }
    for (const auto& o : old) {
        if (std::none_of(now.begin(), now.end(), [&](auto& n) { return n->code() == o->code(); }))
            out.push_back({VnDataChangeRecord::Removed, o, nullptr});
    }
    return out;
}

std::string describe(const VnInfoList& items) {
    std::ostringstream out;
    for (const auto& item : items)
        out << item->code().value_or("<none>") << "/" << hashOf(item).value_or("-") << "/"
            << sortOf(item) << " ";
    return out.str();
}

using Row = std::tuple<int32_t, std::string, std::string>;
std::vector<Row> rowsSorted(const VnInfoList& items) {
    std::vector<Row> rows;
    for (const auto& item : items)
        rows.emplace_back(sortOf(item), item->code().value_or(""), hashOf(item).value_or(""));
    std::sort(rows.begin(), rows.end());
    return rows;
}

class ListGenerator {
  public:
    explicit ListGenerator(uint32_t seed) : random_(seed) {}

    VnInfoList make(bool distinct, bool allowAbsent) {
        std::vector<int> codes{0, 1, 2, 3, 4, 5};
        std::shuffle(codes.begin(), codes.end(), random_);
        const size_t n = pick(0, 6);
        VnInfoList items;
        for (size_t i = 0; i < n; ++i) {
            const int code = distinct ? codes[i] : static_cast<int>(pick(0, 5));
            auto item = title("c" + std::to_string(code), "", static_cast<int32_t>(pick(0, 4)));
            const auto hash = pick(0, allowAbsent ? 3 : 2);
            item->setHashString(hash == 3 ? std::nullopt
                                          : std::optional<std::string>(std::string(1, 'a' + hash)));
            if (allowAbsent && !distinct && pick(0, 11) == 0)
                item->setCode(std::nullopt);
            items.push_back(item);
        }
        return items;
    }

  private:
    size_t pick(size_t low, size_t high) {
        return std::uniform_int_distribution<size_t>(low, high)(random_);
    }
    std::mt19937 random_;
};

TEST(ChangeRecordPropertyTest, DifferenceMatchesItsRulesAndApplyingItGivesTheNewList) {
    const uint32_t seed = std::random_device{}();
    ListGenerator generate(seed);
    const auto folder = testing_support::freshTestFolder();
    auto archive = std::make_shared<VnLocalArchive>(folder);
    auto domain = std::make_shared<VnMagazineDomain>(std::make_shared<TestUserContext>(),
                                                     VnMagazineInfo::classObject(),
                                                     std::make_shared<TestItemsRequest>(), archive);
    const Check defaultCheck = &VnLocalSnapshot::checkUpdateWithNewData;

    for (int round = 0; round < 10000; ++round) {
        const bool distinct = round % 2 == 1;
        const auto old = generate.make(distinct, !distinct);
        const auto now = generate.make(distinct, !distinct);
        auto snapshot = VnLocalSnapshot::snapshotsWithItems(old, plat::Date{0});
        for (const auto& check : {defaultCheck, Check(&titleChanged)}) {
            std::vector<Change> got;
            for (const auto& c : snapshot->compareWithNewItems(now, check))
                got.push_back({c->changeType(), c->originalData(), c->updatedData()});
            ASSERT_EQ(got, referenceDifference(old, now, check))
                << "seed " << seed << " round " << round << "\nold: " << describe(old)
                << "\nnew: " << describe(now);
        }
        if (!distinct)
            continue;

        // Applying the magazine test's records to the old list gives the new one.
        const auto changes = snapshot->compareWithNewItems(now, &titleChanged);
        VnInfoList applied = old;
        for (const auto& c : changes) {
            if (c->changeType() != VnDataChangeRecord::New)
                std::erase(applied, c->originalData());
            if (c->changeType() != VnDataChangeRecord::Removed)
                applied.push_back(c->updatedData());
        }
        ASSERT_EQ(rowsSorted(applied), rowsSorted(now))
            << "seed " << seed << " round " << round << "\nold: " << describe(old)
            << "\nnew: " << describe(now);

        if (round >= 600)
            continue;
        // The same through the magazine domain's removal and merge; its list stays sorted.
        domain->notifyItemLoaded(old);
        const auto held = domain->takeLocalSnapshot();
        VnInfoList removed, merged;
        for (const auto& c : held->compareWithNewItems(now, &titleChanged)) {
            if (c->changeType() == VnDataChangeRecord::Removed)
                removed.push_back(c->originalData());
            else
                merged.push_back(c->updatedData());
        }
        domain->notifyItemsRemoved(removed);
        domain->notifyItemsAddOrUpdate(merged);
        const auto& result = domain->items();
        ASSERT_EQ(rowsSorted(result), rowsSorted(now))
            << "seed " << seed << " round " << round << "\nold: " << describe(old)
            << "\nnew: " << describe(now);
        ASSERT_TRUE(std::is_sorted(result.begin(), result.end(),
                                   [](auto& a, auto& b) { return sortOf(a) < sortOf(b); }))
            << "seed " << seed << " held: " << describe(result);
    }
}

}  // namespace
