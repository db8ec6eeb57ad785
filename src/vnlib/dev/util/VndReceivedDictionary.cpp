#include "vnlib/dev/util/VndReceivedDictionary.h"

#include <cstring>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JKTrailingStorage.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"

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

// The text is one the reader accepted: only its values and white space need telling apart.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char* skipSpace(const char* p, const char* end) {
    while (p < end && isSpace(*p))
        ++p;
    return p;
}

// Past the string whose opening quote is at p; null when it does not end.
const char* skipString(const char* p, const char* end) {
    const char* const first = p + 1;
    for (const char* from = first;;) {
        const auto* quote =
            static_cast<const char*>(std::memchr(from, '"', static_cast<size_t>(end - from)));
        if (!quote)
            return nullptr;
        size_t slashes = 0;
        while (quote - slashes > first && *(quote - slashes - 1) == '\\')
            ++slashes;
        if (slashes % 2 == 0)
            return quote + 1;
        from = quote + 1;
    }
}

// A byte of a number or of true, false and null.
bool isScalarByte(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
           c == '+' || c == '.';
}

// Past the value that starts at p; null when the text holds what the scan does not follow.
const char* skipValue(const char* p, const char* end) {
    if (p >= end)
        return nullptr;
    if (*p == '"')
        return skipString(p, end);
    if (*p == '{' || *p == '[') {
        size_t depth = 0;
        while (p < end) {
            const char c = *p;
            if (c == '"') {
                p = skipString(p, end);
                if (!p)
                    return nullptr;
                continue;
            }
            if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (--depth == 0)
                    return p + 1;
            } else if (!isSpace(c) && c != ',' && c != ':' && !isScalarByte(c)) {
                return nullptr;  // a comment, or white space beyond JSON's own
            }
            ++p;
        }
        return nullptr;
    }
    const char* q = p;
    while (q < end && isScalarByte(*q))
        ++q;
    return q == p ? nullptr : q;
}

// The values' texts of the object text, as offsets from its start; false when the text holds
// more than members and white space.
bool scanMembers(std::string_view text, std::vector<std::pair<uint32_t, uint32_t>>& values) {
    values.clear();
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    if (text.empty() || *begin != '{')
        return false;
    const char* p = skipSpace(begin + 1, end);
    if (p < end && *p == '}')
        return p + 1 == end;
    while (p < end && *p == '"') {
        p = skipString(p, end);
        if (!p)
            return false;
        p = skipSpace(p, end);
        if (p >= end || *p != ':')
            return false;
        const char* const value = skipSpace(p + 1, end);
        const char* const after = skipValue(value, end);
        if (!after)
            return false;
        values.emplace_back(static_cast<uint32_t>(value - begin),
                            static_cast<uint32_t>(after - begin));
        p = skipSpace(after, end);
        if (p < end && *p == ',') {
            p = skipSpace(p + 1, end);
            continue;
        }
        return p < end && *p == '}' && p + 1 == end;
    }
    return false;
}

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
    const std::string_view text = loaded.sourceText();
    if (text.empty() || text.size() > UINT32_MAX)
        return nullptr;
    thread_local std::vector<std::pair<uint32_t, uint32_t>> values;
    const auto members = loaded.members();
    // A repeated key makes more members in the text than in the dictionary.
    if (!scanMembers(text, values) || values.size() != members.size())
        return nullptr;
    size_t bytes = 0;
    for (const auto& [from, to] : values)
        bytes += to - from;
    const bool wide = bytes > UINT16_MAX;
    const size_t endBytes = values.size() * (wide ? sizeof(uint32_t) : sizeof(uint16_t));

    // The records of a reply have the same keys in the same order: the shape of the kind's last
    // dictionary is tried first.
    thread_local std::unordered_map<const void*, std::shared_ptr<const Shape>> lastShapes;
    auto& shape = lastShapes[kind];
    if (!shape || !shape->fits(members))
        shape = std::make_shared<const Shape>(members);

    std::byte* storage = nullptr;
    auto made = jk_makeWithTrailingStorage<VndReceivedDictionary>(endBytes + bytes, storage,
                                                                  Private{}, storage, shape, wide);
    auto* out = reinterpret_cast<char*>(storage + endBytes);
    size_t at = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const auto [from, to] = values[i];
        std::memcpy(out + at, text.data() + from, to - from);
        at += to - from;
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
