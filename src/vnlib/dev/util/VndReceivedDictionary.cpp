#include "vnlib/dev/util/VndReceivedDictionary.h"

#include <cstring>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JKTrailingStorage.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/util/VndKeyOrderMemo.h"

PLAT_DEFINE_CLASS(VndReceivedDictionary, plat::Dictionary, PLAT_NO_METHODS)

struct VndReceivedDictionary::Shape {
    std::vector<plat::Value> keys;                             // texts of their own
    std::unordered_map<std::string_view, uint32_t> positions;  // views of the keys' texts

    explicit Shape(std::span<const JKFlatMember> members) {
        keys.reserve(members.size());
        for (const JKFlatMember& member : members)
            keys.emplace_back(std::string(member.key->view()));
        for (size_t i = 0; i < keys.size(); ++i)
            positions.emplace(keys[i].stringView(), static_cast<uint32_t>(i));
    }
    bool fits(std::span<const JKFlatMember> members) const {
        if (members.size() != keys.size())
            return false;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i].stringView() != members[i].key->view())
                return false;
        }
        return true;
    }
};

namespace {

// One list holding the values' texts, read by the reader.
Ref<plat::Array> readValues(const std::vector<std::string_view>& texts) {
    std::string list = "[";
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i)
            list += ',';
        list += texts[i];
    }
    list += ']';
    auto values = objectFromJSONString(list).array();
    return values && values->count() == texts.size() ? values : nullptr;
}

}  // namespace

Ref<VndReceivedDictionary> VndReceivedDictionary::make(const JKDictionary& loaded,
                                                       const void* kind) {
    const auto members = loaded.members();
    if (loaded.sourceText().empty())
        return nullptr;
    size_t bytes = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string_view value = loaded.memberSourceText(i);
        if (value.empty())
            return nullptr;  // the reader did not tell where the value lies
        bytes += value.size();
    }
    const bool wide = bytes > UINT16_MAX;
    const size_t endBytes = members.size() * (wide ? sizeof(uint32_t) : sizeof(uint16_t));

    // The records of a reply have the same keys in the same order: the shape of the kind's last
    // dictionary is tried first, its keys compared by address while they are texts of the same
    // document.
    struct LastShape {
        std::shared_ptr<const Shape> shape;
        VndDocumentTexts keys;
    };
    thread_local std::unordered_map<const void*, LastShape> lastShapes;
    auto& last = lastShapes[kind];
    last.keys.use(loaded.document());
    bool sameKeys = last.shape && last.shape->keys.size() == members.size();
    for (size_t i = 0; sameKeys && i < members.size(); ++i)
        sameKeys = last.keys.isAt(i, members[i].key);
    if (!sameKeys) {
        if (!last.shape || !last.shape->fits(members))
            last.shape = std::make_shared<const Shape>(members);
        for (size_t i = 0; i < members.size(); ++i)
            last.keys.remember(i, members[i].key);
    }
    const auto& shape = last.shape;

    std::byte* storage = nullptr;
    auto made = jk_makeWithTrailingStorage<VndReceivedDictionary>(endBytes + bytes, storage,
                                                                  Private{}, storage, shape, wide);
    auto* out = reinterpret_cast<char*>(storage + endBytes);
    size_t at = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string_view value = loaded.memberSourceText(i);
        std::memcpy(out + at, value.data(), value.size());
        at += value.size();
        if (wide) {
            const auto end = static_cast<uint32_t>(at);
            std::memcpy(storage + i * sizeof end, &end, sizeof end);
        } else {
            const auto end = static_cast<uint16_t>(at);
            std::memcpy(storage + i * sizeof end, &end, sizeof end);
        }
    }
    return made;
}

VndReceivedDictionary::VndReceivedDictionary(Private, std::byte* const& storage,
                                             std::shared_ptr<const Shape> shape, bool wideEnds)
    : shape_(std::move(shape)), storage_(storage), wideEnds_(wideEnds) {}

VndReceivedDictionary::~VndReceivedDictionary() = default;

size_t VndReceivedDictionary::count() const {
    return shape_->keys.size();
}

std::string_view VndReceivedDictionary::valueAt(size_t index) const {
    const size_t n = shape_->keys.size();
    auto endOf = [&](size_t i) -> size_t {
        if (wideEnds_) {
            uint32_t end;
            std::memcpy(&end, storage_ + i * sizeof end, sizeof end);
            return end;
        }
        uint16_t end;
        std::memcpy(&end, storage_ + i * sizeof end, sizeof end);
        return end;
    };
    const auto* texts =
        reinterpret_cast<const char*>(storage_ + n * (wideEnds_ ? sizeof(uint32_t) : 2));
    const size_t from = index ? endOf(index - 1) : 0;
    return {texts + from, endOf(index) - from};
}

std::string_view VndReceivedDictionary::valueText(const plat::Value& key) const {
    if (!key.isString())
        return {};
    auto it = shape_->positions.find(key.stringView());
    return it == shape_->positions.end() ? std::string_view() : valueAt(it->second);
}

plat::Value VndReceivedDictionary::objectForKey(const plat::Value& key) const {
    const std::string_view text = valueText(key);
    if (text.empty())
        return plat::Value();
    auto values = readValues({text});
    return values ? values->objectAtIndex(0) : plat::Value();
}

void VndReceivedDictionary::enumerateKeysAndObjects(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    std::vector<std::string_view> texts;
    texts.reserve(shape_->keys.size());
    for (size_t i = 0; i < shape_->keys.size(); ++i)
        texts.push_back(valueAt(i));
    auto values = readValues(texts);
    for (size_t i = 0; values && i < texts.size(); ++i) {
        if (!fn(shape_->keys[i], values->objectAtIndex(i)))
            return;
    }
}
