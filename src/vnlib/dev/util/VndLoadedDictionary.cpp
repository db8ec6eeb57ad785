#include "vnlib/dev/util/VndLoadedDictionary.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JKTrailingStorage.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/dev/util/VndKeyOrderMemo.h"
#include "vnlib/dev/util/VndProxyClassPlan.h"

PLAT_DEFINE_CLASS(VndLoadedDictionary, plat::Dictionary, PLAT_NO_METHODS)

// The packed entries: for each entry in order, its key (a variable-length number: below the
// number of class keys a class key, above it an unmapped entry, whose value is kept apart) and,
// for class keys, its value. A value is a kind byte and its payload: nothing for null and the
// two booleans; the type code and the value (integers as variable-length numbers, signed ones
// zig-zagged; floating ones as their eight bytes) for numbers; the length and the bytes for
// strings, or for a string met earlier in the same entries the position of its first kind byte;
// the count and the elements for arrays, and for dictionaries the keys and objects in turn, a
// key being the number of a text shared by every copy; for any other kind a position among the
// values kept apart. Variable-length numbers take seven bits a byte, low bits first, the top bit
// set on every byte but the last.
namespace {

enum Tag : char {
    kNull,
    kFalse,
    kTrue,
    kSigned,
    kUnsigned,
    kFloating,
    kString,
    kArray,
    kDictionary,
    kOther,
    kStringAt,
    kSharedKey,
    kKey,
    kSharedText
};

// Bytes written one after another into a buffer that only grows: cheaper per byte than
// appending to a string, which checks and ends itself at each append.
class Sink {
  public:
    explicit Sink(std::string& buffer) : buffer_(buffer) {}

    size_t size() const { return size_; }
    char* data() { return buffer_.data(); }
    const char* data() const { return buffer_.data(); }
    [[gnu::always_inline]] Sink& operator+=(char c) {
        room(1);
        buffer_[size_++] = c;
        return *this;
    }
    // Room for at least n bytes at the end, to be written and then counted by advance().
    [[gnu::always_inline]] char* end(size_t n) {
        room(n);
        return buffer_.data() + size_;
    }
    [[gnu::always_inline]] void advance(size_t n) { size_ += n; }
    Sink& operator+=(std::string_view text) {
        append(text.data(), text.size());
        return *this;
    }
    void append(const char* bytes, size_t n) {
        room(n);
        std::memcpy(buffer_.data() + size_, bytes, n);
        size_ += n;
    }
    std::string_view view() const { return {buffer_.data(), size_}; }

  private:
    [[gnu::always_inline]] void room(size_t n) {
        if (size_ + n > buffer_.size()) [[unlikely]]
            grow(n);
    }
    [[gnu::noinline]] void grow(size_t n) {
        buffer_.resize(std::max(2 * buffer_.size(), size_ + n + 64));
    }

    std::string& buffer_;
    size_t size_ = 0;
};

[[gnu::always_inline]] inline void putVarint(Sink& out, uint64_t n) {
    char* const bytes = out.end(10);
    size_t size = 0;
    while (n >= 0x80) {
        bytes[size++] = static_cast<char>(n | 0x80);
        n >>= 7;
    }
    bytes[size++] = static_cast<char>(n);
    out.advance(size);
}

// The keys of nested dictionaries and the texts that records of a class repeat (a category, a
// publisher, a language), shared by every copy: the same few come back in every record of a
// reply. Beyond the first few thousand, texts are kept in the copy itself, so that a server
// sending ever new ones cannot grow the table without bound.
class SharedTexts {
  public:
    static constexpr uint32_t npos = UINT32_MAX;
    // Not a number: for callers that remember numbers, one not asked for yet.
    static constexpr uint32_t notAsked = UINT32_MAX - 1;

    static SharedTexts& instance() {
        static SharedTexts keys;
        return keys;
    }
    // The number of the text, made if there is room; npos when there is none. A text keeps its
    // number, and one without has none for good (the table only grows), so that callers may
    // remember the answer.
    uint32_t numberOf(std::string_view text) {
        std::lock_guard guard(lock_);
        if (auto it = numbers_.find(text); it != numbers_.end())
            return it->second;
        if (texts_.size() >= kMostShared)
            return npos;
        const plat::Value& kept = texts_.emplace_back(std::string(text));
        const auto number = static_cast<uint32_t>(texts_.size() - 1);
        numbers_.emplace(kept.stringView(), number);
        return number;
    }
    plat::Value text(uint64_t number) {
        std::lock_guard guard(lock_);
        return number < texts_.size() ? texts_[number] : plat::Value();
    }

  private:
    static constexpr size_t kMostShared = 4096;
    std::mutex lock_;
    std::deque<plat::Value> texts_;  // the values' strings never move
    std::unordered_map<std::string_view, uint32_t> numbers_;
};

class Packer {
  public:
    // `base`: where the entries start in `out`.
    Packer(Sink& out, size_t base, std::vector<plat::Value>& others)
        : out_(out), base_(base), others_(others) {}

    void pack(const plat::Value& value) {
        if (value.isNull()) {
            out_ += kNull;
        } else if (value.isBool()) {
            out_ += value.boolValue() ? kTrue : kFalse;
        } else if (const plat::Number* number = value.number()) {
            if (number->isFloatingPoint()) {
                out_ += kFloating;
                out_ += number->type();
                const double d = number->doubleValue();
                out_.append(reinterpret_cast<const char*>(&d), sizeof d);
            } else if (number->isUnsigned()) {
                out_ += kUnsigned;
                out_ += number->type();
                putVarint(out_, number->uint64Value());
            } else {
                out_ += kSigned;
                out_ += number->type();
                const int64_t n = number->int64Value();
                putVarint(out_, (static_cast<uint64_t>(n) << 1) ^ static_cast<uint64_t>(n >> 63));
            }
        } else if (value.isString()) {
            packString(value.stringView());
        } else if (auto array = value.array()) {
            out_ += kArray;
            putVarint(out_, array->count());
            array->enumerate([&](const plat::Value& element) {
                pack(element);
                return true;
            });
        } else if (auto dictionary = value.dictionary()) {
            out_ += kDictionary;
            putVarint(out_, dictionary->count());
            size_t position = 0;
            dictionary->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
                packKey(k, position++);
                pack(v);
                return true;
            });
        } else {
            out_ += kOther;
            putVarint(out_, others_.size());
            others_.push_back(detachedCopy(value));
        }
    }

  private:
    void packString(std::string_view text) {
        // A text met earlier in these entries is referred to, when that is shorter.
        if (text.size() > 3) {
            for (size_t i = 0; i < remembered_; ++i) {
                const auto [at, size] = strings_[i];
                if (size == text.size() &&
                    std::string_view(out_.data() + at + 1 + varintSize(size), size) == text) {
                    out_ += kStringAt;
                    putVarint(out_, at - base_);
                    return;
                }
            }
        }
        if (text.size() > 3 && remembered_ < strings_.size())
            strings_[remembered_++] = {out_.size(), text.size()};
        out_ += kString;
        putVarint(out_, text.size());
        out_ += text;
    }

    // `position`: the key's place in its dictionary.
    void packKey(const plat::Value& key, size_t position) {
        if (key.isString()) {
            // Nested dictionaries of a reply have the same keys in the same order: the thread
            // remembers the keys' numbers by the keys it last met at each place.
            thread_local VndKeyOrderMemo<uint32_t> numbers;
            const uint32_t number = numbers.at(
                position, key.stringView(),
                [](std::string_view text) { return SharedTexts::instance().numberOf(text); });
            if (number != SharedTexts::npos) {
                out_ += kSharedKey;
                putVarint(out_, number);
                return;
            }
        }
        out_ += kKey;
        pack(key);
    }

    static size_t varintSize(uint64_t n) {
        size_t size = 1;
        for (; n >= 0x80; n >>= 7)
            ++size;
        return size;
    }

    Sink& out_;
    size_t base_;
    std::vector<plat::Value>& others_;
    std::array<std::pair<size_t, size_t>, 64> strings_;  // position of the kind byte, length
    size_t remembered_ = 0;
};

class Unpacker {
  public:
    Unpacker(const std::byte* data, size_t size, const std::vector<plat::Value>* others)
        : begin_(reinterpret_cast<const unsigned char*>(data)),
          at_(begin_),
          end_(at_ + size),
          others_(others) {}

    bool atEnd() const { return at_ >= end_; }

    uint64_t nextVarint() {
        uint64_t n = 0;
        for (unsigned shift = 0; at_ < end_ && shift < 64; shift += 7) {
            const unsigned char byte = *at_++;
            n |= static_cast<uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                break;
        }
        return n;
    }

    plat::Value unpack() {
        switch (static_cast<Tag>(*at_++)) {
            case kNull:
                return plat::Value::null();
            case kFalse:
                return plat::Value::boolean(false);
            case kTrue:
                return plat::Value::boolean(true);
            case kSigned: {
                const char type = static_cast<char>(*at_++);
                const uint64_t z = nextVarint();
                const auto n = static_cast<int64_t>((z >> 1) ^ (~(z & 1) + 1));
                return plat::Value(plat::Number::fromInt64(n, type));
            }
            case kUnsigned: {
                const char type = static_cast<char>(*at_++);
                return plat::Value(plat::Number::fromUInt64(nextVarint(), type));
            }
            case kFloating: {
                const char type = static_cast<char>(*at_++);
                double d = 0;
                std::memcpy(&d, at_, sizeof d);
                at_ += sizeof d;
                return plat::Value(plat::Number::fromDouble(d, type));
            }
            case kString: {
                const size_t length = nextVarint();
                std::string text(reinterpret_cast<const char*>(at_), length);
                at_ += length;
                return plat::Value(std::move(text));
            }
            case kArray: {
                std::vector<plat::Value> elements(nextVarint());
                for (auto& element : elements)
                    element = unpack();
                return plat::Value(plat::Array::make(std::move(elements)));
            }
            case kDictionary: {
                std::vector<std::pair<plat::Value, plat::Value>> entries(nextVarint());
                for (auto& [k, v] : entries) {
                    k = static_cast<Tag>(*at_++) == kSharedKey
                            ? SharedTexts::instance().text(nextVarint())
                            : unpack();
                    v = unpack();
                }
                return plat::Value(plat::makeDictionary(std::move(entries)));
            }
            case kOther:
                return others_->at(nextVarint());
            case kStringAt: {
                const uint64_t at = nextVarint();
                Unpacker earlier(*this);
                earlier.at_ = begin_ + std::min<uint64_t>(at, static_cast<uint64_t>(end_ - begin_));
                return earlier.atEnd() ? plat::Value() : earlier.unpack();
            }
            case kSharedText:
                return SharedTexts::instance().text(nextVarint());
            case kSharedKey:
            case kKey:
                break;  // only before the keys of dictionaries
        }
        return plat::Value();
    }

  private:
    const unsigned char* begin_;
    const unsigned char* at_;
    const unsigned char* end_;
    const std::vector<plat::Value>* others_;
};

// The key of an unmapped entry, shared by every record of the class that kept it: the same few
// keys come back in each record of a reply. Keys beyond the first few thousand are not shared,
// so that a server sending ever new keys cannot grow the table without bound.
plat::Value sharedUnmappedKey(const VndProxyClassPlan& plan, const plat::Value& key) {
    if (!key.isString())
        return detachedCopy(key);
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    using Keys = std::unordered_map<std::string, plat::Value, TextHash, std::equal_to<>>;
    static std::mutex lock;
    static std::unordered_map<const VndProxyClassPlan*, Keys> shared;
    static size_t count = 0;
    constexpr size_t kMostShared = 4096;
    std::lock_guard guard(lock);
    auto& keys = shared[&plan];
    const std::string_view text = key.stringView();
    if (auto it = keys.find(text); it != keys.end())
        return it->second;
    plat::Value copy = detachedCopy(key);
    if (count < kMostShared) {
        keys.emplace(std::string(text), copy);
        ++count;
    }
    return copy;
}

// An unmapped value as the record keeps it: a short list of numbers (a list of content formats,
// say) is shared by every copy that holds an equal one, numbers' types included; anything else
// is a copy of its own. Beyond the first thousand lists, lists are no longer shared.
// `ordinal`: the entry's place among the record's unmapped entries.
// `lastFound` remembers the list kept at each place among a class's unmapped entries, by its
// packed bytes: records of a reply mostly repeat them, and then take no lock.
plat::Value keptUnmappedValue(const plat::Value& value, VndKeyOrderMemo<plat::Value>& lastFound,
                              size_t ordinal) {
    constexpr size_t kLongestShared = 8;
    const auto list = value.array();
    if (!list || list->count() > kLongestShared)
        return detachedCopy(value);
    bool scalars = true;
    list->enumerate([&](const plat::Value& element) {
        scalars = element.isNumber() || element.isBool() || element.isNull();
        return scalars;
    });
    if (!scalars)
        return detachedCopy(value);
    thread_local std::string buffer;
    Sink sink(buffer);
    std::vector<plat::Value> none;
    Packer(sink, 0, none).pack(value);
    return lastFound.at(ordinal, sink.view(), [&](std::string_view packed) {
        static std::mutex lock;
        static std::unordered_map<std::string, plat::Value> shared;
        constexpr size_t kMostShared = 1024;
        std::lock_guard guard(lock);
        if (auto it = shared.find(std::string(packed)); it != shared.end())
            return it->second;
        plat::Value copy = detachedCopy(value);
        if (shared.size() < kMostShared)
            shared.emplace(std::string(packed), copy);
        return copy;
    });
}

}  // namespace

Ref<plat::Dictionary> VndLoadedDictionary::make(plat::Object& target,
                                                const Ref<plat::Dictionary>& loaded) {
    const VndProxyClassPlan& plan = VndProxyClassPlan::of(target);
    if (!plan.isSource())
        return loaded->copy();
    const size_t classKeys = plan.keys().size();
    const size_t bitBytes = (classKeys + 7) / 8;
    // Packed into a buffer of the thread's first, then copied into the block of the dictionary.
    thread_local std::string buffer;
    Sink packed(buffer);
    for (size_t i = 0; i < bitBytes; ++i)
        packed += '\0';
    // The unmapped entries, gathered in a list of the thread's: mostly the same as the previous
    // record's, and then not copied at all.
    thread_local Entries gathered;
    Entries& unmapped = gathered;
    unmapped.clear();
    Extras extras;
    uint32_t count = 0;
    Packer packer(packed, bitBytes, extras.others);
    // What the thread remembers of its previous record of the class.
    struct Previous {
        // The texts by class key, with their shared numbers once asked for.
        std::vector<std::string> texts;
        std::vector<uint32_t> numbers;
        // The records of a reply have the same keys in the same order: the class keys'
        // positions by the keys last met, so that only those that differ are looked up.
        VndKeyOrderMemo<size_t> shape;
        // The unmapped entries' shared keys and kept short lists by their place among them.
        VndKeyOrderMemo<plat::Value> unmappedKeys;
        VndKeyOrderMemo<plat::Value> unmappedLists;
        std::shared_ptr<const Entries> unmapped;
    };
    constexpr size_t kLongestRepeated = 64;
    thread_local std::unordered_map<const VndProxyClassPlan*, Previous> previousOfClass;
    Previous& previous = previousOfClass[&plan];
    previous.texts.resize(classKeys);
    previous.numbers.resize(classKeys, SharedTexts::notAsked);
    size_t position = 0;
    // Adds the entry whose key's position in the class is `index`; `keyOf()` gives the key.
    auto add = [&](size_t index, const auto& keyOf, const plat::Value& value) {
        ++count;
        ++position;
        if (index == VndProxyClassPlan::npos) {
            const size_t ordinal = unmapped.size();
            putVarint(packed, classKeys + ordinal);
            const plat::Value& key = keyOf();
            plat::Value kept =
                key.isString() ? previous.unmappedKeys.at(
                                     ordinal, key.stringView(),
                                     [&](std::string_view) { return sharedUnmappedKey(plan, key); })
                               : detachedCopy(key);
            unmapped.emplace_back(std::move(kept),
                                  keptUnmappedValue(value, previous.unmappedLists, ordinal));
            return true;
        }
        putVarint(packed, index);
        // A text that the class's previous record held under the same key is likely held by
        // many: it is shared.
        bool shared = false;
        if (value.isString() && value.stringView().size() > 3 &&
            value.stringView().size() <= kLongestRepeated) {
            std::string& before = previous.texts[index];
            uint32_t& number = previous.numbers[index];
            const std::string_view text = value.stringView();
            if (before == text) {
                if (number == SharedTexts::notAsked)
                    number = SharedTexts::instance().numberOf(text);
                if (number != SharedTexts::npos) {
                    packed += kSharedText;
                    putVarint(packed, number);
                    shared = true;
                }
            } else {
                before.assign(text);
                number = SharedTexts::notAsked;
            }
        }
        if (!shared)
            packer.pack(value);
        if (!value.isNull() && !plan.keys()[index].readable)
            extras.unread.emplace_back(index, detachedCopy(value));
        else if (!value.isNull())
            packed.data()[index / 8] |= static_cast<char>(1 << (index % 8));
        return true;
    };
    if (const auto* decoded = dynamic_cast<const JKDictionary*>(loaded.get());
        decoded && !decoded->members().empty()) {
        // A decoded reply's members, walked directly: their keys are texts of the reply.
        for (const JKFlatMember& member : decoded->members()) {
            const auto keyOf = [&] { return decoded->keyOf(member); };
            const size_t index =
                previous.shape.at(position, member.key->view(),
                                  [&](std::string_view) { return plan.indexOf(keyOf()); });
            add(index, keyOf, member.object);
        }
    } else {
        loaded->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
            const auto keyOf = [&]() -> const plat::Value& { return key; };
            const size_t index =
                key.isString()
                    ? previous.shape.at(position, key.stringView(),
                                        [&](std::string_view) { return plan.indexOf(key); })
                    : plan.indexOf(key);
            return add(index, keyOf, value);
        });
    }
    std::byte* storage = nullptr;
    auto made = jk_makeWithTrailingStorage<VndLoadedDictionary>(packed.size(), storage, Private{},
                                                                storage, plan);
    std::memcpy(storage, packed.data(), packed.size());
    made->packedSize_ = static_cast<uint32_t>(packed.size() - bitBytes);
    made->count_ = count;
    if (!unmapped.empty()) {
        // Records of a reply mostly hold the same unmapped entries, their keys and short lists
        // shared already: the entries themselves are shared then.
        auto& shared = previous.unmapped;
        const bool same = shared && std::equal(shared->begin(), shared->end(), unmapped.begin(),
                                               unmapped.end(), [](const auto& a, const auto& b) {
                                                   return a.first.identical(b.first) &&
                                                          a.second.identical(b.second);
                                               });
        if (!same)
            shared = std::make_shared<const Entries>(unmapped);
        made->unmapped_ = shared;
        unmapped.clear();  // holds nothing past the call
    }
    if (!extras.unread.empty() || !extras.others.empty())
        made->extras_ = std::make_unique<Extras>(std::move(extras));
    if (buffer.size() > (64u << 10)) {
        buffer.clear();
        buffer.shrink_to_fit();  // one huge record does not hold the thread's buffer
    }
    return made;
}

VndLoadedDictionary::VndLoadedDictionary(Private, std::byte* const& storage,
                                         const VndProxyClassPlan& plan)
    : plan_(&plan), storage_(storage) {}

const VndLoadedDictionary::Entries& VndLoadedDictionary::unmappedEntries() const {
    static const Entries none;
    return unmapped_ ? *unmapped_ : none;
}

bool VndLoadedDictionary::isMapped(size_t index) const {
    if (index >= plan_->keys().size())
        return false;
    return (static_cast<unsigned char>(storage_[index / 8]) >> (index % 8)) & 1;
}

void VndLoadedDictionary::unpackEach(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    const size_t classKeys = plan_->keys().size();
    Unpacker unpacker(storage_ + (classKeys + 7) / 8, packedSize_,
                      extras_ ? &extras_->others : nullptr);
    while (!unpacker.atEnd()) {
        const uint64_t keyRef = unpacker.nextVarint();
        if (keyRef >= classKeys) {
            const auto& entry = unmappedEntries().at(keyRef - classKeys);
            if (!fn(entry.first, entry.second))
                return;
        } else {
            const plat::Value value = unpacker.unpack();
            if (!fn(plan_->keys()[keyRef].key, value))
                return;
        }
    }
}

plat::Value VndLoadedDictionary::mappedValue(size_t index) const {
    if (extras_) {
        for (const auto& [position, value] : extras_->unread) {
            if (position == index)
                return value;
        }
    }
    if (!isMapped(index))
        return plat::Value();
    return objectForKey(plan_->keys()[index].key);
}

plat::Value VndLoadedDictionary::objectForKey(const plat::Value& key) const {
    if (plan_->indexOf(key) == VndProxyClassPlan::npos) {
        for (const auto& [k, v] : unmappedEntries()) {
            if (k == key)
                return v;
        }
        return plat::Value();
    }
    plat::Value found;
    unpackEach([&](const plat::Value& k, const plat::Value& v) {
        if (!(k == key))
            return true;
        found = v;
        return false;
    });
    return found;
}

void VndLoadedDictionary::enumerateKeysAndObjects(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    unpackEach(fn);
}
