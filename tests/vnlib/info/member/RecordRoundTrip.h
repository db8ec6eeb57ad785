#pragma once
// Helpers for record tests: load a record from JSON text, write it through its dictionary view
// and the JSON writer and read it back, check that the written form holds what was loaded, and
// fix the machine's time zone for a test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <set>
#include <string>

#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/info/VnInfoBase.h"

namespace record_test {

template <class T>
Ref<T> load(std::string_view json) {
    auto record = std::make_shared<T>();
    record->initWithJSONString(json);
    return record;
}

inline Ref<plat::Dictionary> parse(std::string_view json) {
    auto d = objectFromJSONString(json).dictionary();
    EXPECT_TRUE(d) << "not a JSON object: " << json;
    return d ? d : plat::makeDictionary({});
}

inline Ref<plat::Dictionary> viewOf(const Ref<VnInfoBase>& record) {
    return record->proxyForJson().dictionary();
}

// The record written as JSON text and read back; the writer must not refuse it.
inline Ref<plat::Dictionary> written(const Ref<VnInfoBase>& record) {
    auto writer = std::make_shared<KxJsonWriter>();
    auto text = writer->stringWithObject(record->proxyForJson());
    EXPECT_TRUE(text) << writer->error().value_or("");
    return parse(text.value_or("{}"));
}

// Every entry of `expected` is in `actual` with an equal value (objects may hold more keys),
// lists element by element; `skipped` top-level keys are not compared.
inline ::testing::AssertionResult contains(const plat::Value& expected, const plat::Value& actual,
                                           const std::set<std::string>& skipped = {}) {
    if (auto e = expected.dictionary()) {
        auto a = actual.dictionary();
        if (!a)
            return ::testing::AssertionFailure() << "not an object: " << actual.description();
        for (const auto& key : e->allKeys()) {
            if (skipped.count(key.description()))
                continue;
            if (auto r = contains(e->objectForKey(key), a->objectForKey(key)); !r) {
                return r << " under " << key.description();
            }
        }
        return ::testing::AssertionSuccess();
    }
    if (auto e = expected.array()) {
        auto a = actual.array();
        bool same = a && a->count() == e->count();
        for (size_t i = 0; same && i < e->count(); ++i) {
            if (auto r = contains(e->objectAtIndex(i), a->objectAtIndex(i)); !r)
                return r;
        }
        if (same)
            return ::testing::AssertionSuccess();
    } else if (expected.equals(actual)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << expected.description() << " written as " << actual.description();
}

inline ::testing::AssertionResult writesBack(const Ref<VnInfoBase>& record, std::string_view reply,
                                             const std::set<std::string>& skipped = {}) {
    return contains(plat::Value(parse(reply)), plat::Value(written(record)), skipped);
}

// The machine's time zone is UTC+7 (no daylight saving) while the test runs.
class FixedLocalZone : public ::testing::Test {
  protected:
    static constexpr double kLocalOffset = 7 * 3600;
    void SetUp() override { setZone("ICT-7"); }
    void TearDown() override { setZone(saved_.empty() ? nullptr : saved_.c_str()); }

  private:
    void setZone(const char* zone) {
        zone ? setenv("TZ", zone, 1) : unsetenv("TZ");
        tzset();
    }
    std::string saved_ = std::getenv("TZ") ? std::getenv("TZ") : "";
};

// A clock at mid-year of the year, for the two-digit-year window.
inline auto clockAt(int64_t year) {
    return [year] { return plat::Date{double(plat::timeToEpoch({year, 6, 1, 12, 0, 0}))}; };
}

}  // namespace record_test
