#include "vnlib/dev/util/VndArrayAdditions.h"

#include <algorithm>

#include "platform/core/KeyValueCoding.h"
#include "platform/core/Log.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/dev/util/VndObjectAdditions.h"

namespace {

int32_t intAnswer(const plat::Value& element, plat::Selector sel) {
    return performSelectorEx(element, sel).intValue();
}

Ref<plat::Array> sortedBy(const plat::Array& array,
                          const std::function<int(const plat::Value&, const plat::Value&)>& cmp) {
    auto values = array.values();
    std::stable_sort(values.begin(), values.end(),
                     [&](const plat::Value& a, const plat::Value& b) { return cmp(a, b) < 0; });
    return plat::Array::make(std::move(values));
}

Ref<plat::Array> filtered(const plat::Array& array,
                          const std::function<bool(const plat::Value&)>& keep) {
    std::vector<plat::Value> out;
    array.enumerate([&](const plat::Value& v) {
        if (keep(v))
            out.push_back(v);
        return true;
    });
    return plat::Array::make(std::move(out));
}

plat::Value keyOrNull(plat::Value key) {
    return key.isNil() ? plat::Value::null() : key;
}

}  // namespace

Ref<plat::MutableArray> arrayWithEnumeration(const plat::Array& collection) {
    return plat::MutableArray::make(collection.values());
}

std::string joinWithSeparator(const plat::Array& array, const std::string& separator,
                              plat::Selector) {
    std::string out;
    bool first = true;
    array.enumerate([&](const plat::Value& v) {
        if (!first)
            out += separator;
        out += v.description();
        first = false;
        return true;
    });
    return out;
}

Ref<plat::Array> linq_selectWithSelector(const plat::Array& array, plat::Selector sel) {
    std::vector<plat::Value> out;
    array.enumerate([&](const plat::Value& v) {
        plat::Value answer = performSelectorEx(v, sel);
        if (answer.isNil()) {
            plat::raise(
                plat::NSInvalidArgumentException,
                "*** -[NSMutableArray addObject:]: object cannot be nil (" + sel.name() + ")");
        }
        out.push_back(std::move(answer));
        return true;
    });
    return plat::Array::make(std::move(out));
}

Ref<plat::Array> linq_selectWithKeyPath(const plat::Array& array, const std::string& keyPath) {
    return plat::selectByKeyPath(array, keyPath);
}

Ref<plat::Array> linq_orderBy(const plat::Array& array, plat::Selector sel,
                              plat::Selector compareSelector) {
    const auto comparison = compareSelector.name() == "localizedCompare:"
                                ? plat::StringComparison::Localized
                                : plat::StringComparison::Literal;
    return plat::sortedArrayByKey(array, sel.name(), true, comparison);
}

Ref<plat::Array> linq_orderBy(const plat::Array& array, plat::Selector sel) {
    return linq_orderBy(array, sel, "compare:");
}

Ref<plat::Array> linq_orderByDescending(const plat::Array& array, plat::Selector sel) {
    return plat::sortedArrayByKey(array, sel.name(), false);
}

Ref<plat::Array> linq_orderByStringLocalized(const plat::Array& array, plat::Selector sel) {
    return linq_orderBy(array, sel, "localizedCompare:");
}

int compareInt(const plat::Value& a, const plat::Value& b, plat::Selector sel) {
    const int32_t x = intAnswer(a, sel), y = intAnswer(b, sel);
    return x < y ? -1 : (x > y ? 1 : 0);
}

int compareIntDesc(const plat::Value& a, const plat::Value& b, plat::Selector sel) {
    return -compareInt(a, b, sel);
}

int compareIntNoZero(const plat::Value& a, const plat::Value& b, plat::Selector sel) {
    const int32_t x = intAnswer(a, sel), y = intAnswer(b, sel);
    if (x == y)
        return 0;
    if (x == 0)
        return 1;  // zeros go after every other value
    if (y == 0)
        return -1;
    return x < y ? -1 : 1;
}

Ref<plat::Array> linq_orderByInt(const plat::Array& array, plat::Selector sel) {
    return sortedBy(array, [&](const auto& a, const auto& b) { return compareInt(a, b, sel); });
}

Ref<plat::Array> linq_orderByIntDescending(const plat::Array& array, plat::Selector sel) {
    return sortedBy(array, [&](const auto& a, const auto& b) { return compareIntDesc(a, b, sel); });
}

Ref<plat::Array> linq_orderByIntNoZero(const plat::Array& array, plat::Selector sel) {
    return sortedBy(array,
                    [&](const auto& a, const auto& b) { return compareIntNoZero(a, b, sel); });
}

Ref<plat::Array> linq_take(const plat::Array& array, uint64_t count) {
    auto values = array.values();
    if (values.size() > count)
        values.resize(static_cast<size_t>(count));
    return plat::Array::make(std::move(values));
}

plat::Value linq_firstOrNil(const plat::Array& array) {
    return array.firstObject();
}

Ref<plat::Array> linq_where(const plat::Array& array, plat::Selector sel,
                            const plat::Value& equal) {
    return filtered(array, [&](const plat::Value& v) {
        return plat::valueForKey(v, sel.name()).equals(equal);
    });
}

Ref<plat::Array> linq_whereNotEqual(const plat::Array& array, plat::Selector sel,
                                    const plat::Value& notEqual) {
    return filtered(array, [&](const plat::Value& v) {
        return !plat::valueForKey(v, sel.name()).equals(notEqual);
    });
}

Ref<plat::Array> linq_where(const plat::Array& array, plat::Selector sel) {
    return linq_where(array, sel, plat::Value::boolean(true));
}

Ref<plat::Array> linq_whereNot(const plat::Array& array, plat::Selector sel) {
    return linq_where(array, sel, plat::Value::boolean(false));
}

Ref<plat::MutableDictionary> dictionaryWithArray(const plat::Array& array,
                                                 plat::Selector itemIdSelector) {
    auto out = plat::MutableDictionary::make();
    array.enumerate([&](const plat::Value& v) {
        plat::Value key = keyOrNull(performSelectorEx(v, itemIdSelector));
        if (!out->objectForKey(key).isNil())
            VND_TRACE("Warning", "%s", "Id must be unique");
        out->setObject(v, key);
        return true;
    });
    return out;
}

Ref<plat::MutableDictionary> dictionaryWithArrayIntId(const plat::Array& array,
                                                      plat::Selector itemIntIdSelector) {
    auto out = plat::MutableDictionary::make();
    array.enumerate([&](const plat::Value& v) {
        plat::Value key(plat::Number::fromInt64(intAnswer(v, itemIntIdSelector), 'i'));
        if (!out->objectForKey(key).isNil())
            VND_TRACE("Warning", "%s", "Id must be unique");
        out->setObject(v, key);
        return true;
    });
    return out;
}

Ref<plat::MutableDictionary> lookupDictionaryWithArray(const plat::Array& array,
                                                       plat::Selector sel) {
    auto out = plat::MutableDictionary::make();
    array.enumerate([&](const plat::Value& v) {
        plat::Value key = keyOrNull(performSelectorEx(v, sel));
        auto group = out->objectForKey(key).as<plat::MutableArray>();
        if (!group) {
            group = plat::MutableArray::make();
            out->setObject(plat::Value(group), key);
        }
        group->addObject(v);
        return true;
    });
    return out;
}

Ref<plat::MutableDictionary> linq_toDictionaryWithKeySelector(const plat::Array& array,
                                                              plat::Selector sel) {
    return dictionaryWithArray(array, sel);
}

Ref<plat::MutableDictionary> linq_toDictionaryWithIntKeySelector(const plat::Array& array,
                                                                 plat::Selector sel) {
    return dictionaryWithArrayIntId(array, sel);
}

Ref<plat::MutableDictionary> linq_toLookupDictionaryWithKeySelector(const plat::Array& array,
                                                                    plat::Selector sel) {
    return lookupDictionaryWithArray(array, sel);
}
