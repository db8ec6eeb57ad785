#pragma once
// Helpers for record tests: loading from JSON text, the dictionary view, checking that a view
// writes back what a reply held, sorted JSON text of a record, and a scoped machine time zone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <set>
#include <string>

#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/info/VnInfoBase.h"

namespace recordtest {

template <class T>
Ref<T> load(std::string_view json) {
    auto record = std::make_shared<T>();
    record->initWithJSONString(json);
    return record;
}

inline Ref<plat::Dictionary> viewOf(const Ref<VnInfoBase>& record) {
    return record->proxyForJson().dictionary();
}

// Every key of the reply but the named ones is written with an equal value.
inline void expectWritesBack(const Ref<VnInfoBase>& record, std::string_view reply,
                             const std::set<std::string>& changedKeys = {}) {
    auto view = viewOf(record);
    objectFromJSONString(reply).dictionary()->enumerateKeysAndObjects(
        [&](const plat::Value& key, const plat::Value& value) {
            if (!changedKeys.count(*key.string())) {
                EXPECT_EQ((*view)[*key.string()], value) << "key " << *key.string();
            }
            return true;
        });
}

inline bool hasKey(const plat::Dictionary& dictionary, const std::string& key) {
    auto keys = dictionary.allKeys();
    return std::find(keys.begin(), keys.end(), plat::Value(key)) != keys.end();
}

// Sorted keys, so that equal records give equal texts.
inline std::string jsonText(const Ref<VnInfoBase>& record) {
    KxJsonWriter writer;
    writer.setSortKeys(true);
    return writer.stringWithObject(record->proxyForJson()).value_or("<failed>");
}

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> saved_;
};

}  // namespace recordtest
