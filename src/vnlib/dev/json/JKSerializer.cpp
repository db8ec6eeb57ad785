#include "vnlib/dev/json/JKSerializer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <span>
#include <typeinfo>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/core/Log.h"
#include "vnlib/dev/json/JKArray.h"
#include "vnlib/dev/json/JKConvertUTF8.h"
#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JKDoubleText.h"
#include "vnlib/dev/json/JKError.h"
#include "vnlib/dev/json/JKManagedBuffer.h"
#include "vnlib/dev/json/JKMemberWriter.h"
#include "vnlib/dev/json/JSONDecoder.h"

PLAT_DEFINE_CLASS(JKSerializer, plat::Object, PLAT_NO_METHODS)

using plat::Number;
using plat::Value;

namespace {

constexpr size_t kEncodeCacheSize = 1024;
constexpr size_t kOutputFrameSize = 4096;
// Texts shorter than this are written again sooner than kept in the output cache for reuse.
constexpr size_t kShortText = 64;

// The output cache: for each of its slots, the object whose text was written last, and where
// that text lies in the output. No other object may take the same address during the call: a
// slot keeps its object alive unless the caller knows that something else does (the tree being
// written, while no code of others runs). Slots are made on first use; the slots used are
// listed, so that emptying the cache costs what the call used, and a thread reuses one cache
// from call to call (see take() and give()).
class JKEncodeCache {
  public:
    JKEncodeCache() : objects_(std::allocator<Value>().allocate(kEncodeCacheSize)) {
        identity_.fill(nullptr);
        held_.fill(false);
        kept_.fill(false);
        used_.reserve(256);
    }
    JKEncodeCache(const JKEncodeCache&) = delete;
    JKEncodeCache& operator=(const JKEncodeCache&) = delete;
    ~JKEncodeCache() {
        clear();
        std::allocator<Value>().deallocate(objects_, kEncodeCacheSize);
    }

    // An empty cache: the one this thread used last when no call holds it, else a new one.
    static std::unique_ptr<JKEncodeCache> take() {
        if (auto& spare = spare_(); spare)
            return std::move(spare);
        return std::make_unique<JKEncodeCache>();
    }
    // Empties the cache and keeps it for this thread's next call.
    static void give(std::unique_ptr<JKEncodeCache> cache) {
        cache->clear();
        if (auto& spare = spare_(); !spare)
            spare = std::move(cache);
    }

    // The first output buffer of a call that holds the cache.
    unsigned char* frame() { return frame_.data(); }
    static constexpr size_t frameSize() { return kOutputFrameSize; }

    static size_t slotFor(const void* identity) {
        const auto p = reinterpret_cast<uintptr_t>(identity);
        return (((p >> 21) ^ (p >> 9)) + (p >> 4)) & (kEncodeCacheSize - 1);
    }
    bool holds(size_t slot, const void* identity) const { return identity_[slot] == identity; }
    size_t offset(size_t slot) const { return offset_[slot]; }
    size_t length(size_t slot) const { return length_[slot]; }

    // `keep`: the slot keeps `v` alive; otherwise something else must, until forgetUnkept().
    void fill(size_t slot, const void* identity, const Value& v, bool keep, size_t offset,
              size_t length) {
        if (!identity_[slot] && !held_[slot])
            used_.push_back(static_cast<uint16_t>(slot));
        if (keep) {
            if (held_[slot]) {
                objects_[slot] = v;
            } else {
                std::construct_at(objects_ + slot, v);
                held_[slot] = true;
            }
        }
        kept_[slot] = keep;
        identity_[slot] = identity;
        offset_[slot] = offset;
        length_[slot] = length;
    }
    // Forgets the objects that the slots do not keep alive themselves.
    void forgetUnkept() {
        for (const uint16_t slot : used_) {
            if (!kept_[slot])
                identity_[slot] = nullptr;
        }
    }

  private:
    static std::unique_ptr<JKEncodeCache>& spare_() {
        thread_local std::unique_ptr<JKEncodeCache> spare;
        return spare;
    }
    // Lets go of every object and forgets every slot (a slot may be listed twice).
    void clear() {
        for (const uint16_t slot : used_) {
            if (held_[slot]) {
                std::destroy_at(objects_ + slot);
                held_[slot] = false;
            }
            kept_[slot] = false;
            identity_[slot] = nullptr;
        }
        used_.clear();
    }

    std::array<const void*, kEncodeCacheSize> identity_;
    // held_: objects_[slot] is constructed (it may be an earlier object of the slot); kept_:
    // it is the slot's current object.
    std::array<bool, kEncodeCacheSize> held_;
    std::array<bool, kEncodeCacheSize> kept_;
    std::array<size_t, kEncodeCacheSize> offset_;
    std::array<size_t, kEncodeCacheSize> length_;
    std::vector<uint16_t> used_;  // the slots filled since the cache was last emptied
    Value* objects_;
    std::array<unsigned char, kOutputFrameSize> frame_;
};

// The address by which a value is known to the output cache; null for values that have no
// identity of their own (numbers, booleans, null, dates).
const void* identityOf(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::String:
            return v.stringView().data();  // the bytes of one string object
        case Value::Kind::Data:
            return v.bytes();
        case Value::Kind::Decimal:
            return v.decimal();
        case Value::Kind::Object:
            return v.object().get();
        default:
            return nullptr;  // containers are never cached
    }
}

// The class name that error texts give for a value.
std::string classNameOf(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Nil:
            return "nil";
        case Value::Kind::Null:
            return "NSNull";
        case Value::Kind::Bool:
        case Value::Kind::Number:
            return "NSNumber";
        case Value::Kind::Decimal:
            return "NSDecimalNumber";
        case Value::Kind::String:
            return "NSString";
        case Value::Kind::Data:
            return "NSData";
        case Value::Kind::Date:
            return "NSDate";
        default:
            return v.object()->className();
    }
}

// Bytes that a string writes as they are: 0x20..0x7F except the quotation mark, the backslash
// and, when asked, the solidus; and, for a text known to be well-formed UTF-8, the bytes of
// 0x80 and above.
template <bool kMultiByte>
inline const uint8_t* skipPlainBytes(const uint8_t* s, const uint8_t* end, bool escapeSolidus,
                                     const bool* plain) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i solidus = _mm_set1_epi8(escapeSolidus ? '/' : '"');
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i control = _mm_set1_epi8(0x1F);
    while (end - s >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        // Signed comparison: bytes below 0x20 and bytes of 0x80 and above both compare less;
        // unsigned: a byte is a control character when max(byte, 0x1F) is 0x1F.
        const __m128i low = kMultiByte ? _mm_cmpeq_epi8(_mm_max_epu8(x, control), control)
                                       : _mm_cmplt_epi8(x, space);
        const __m128i special =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, backslash)),
                         _mm_or_si128(_mm_cmpeq_epi8(x, solidus), low));
        const int mask = _mm_movemask_epi8(special);
        if (mask)
            return s + __builtin_ctz(static_cast<unsigned>(mask));
        s += 16;
    }
#endif
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight bytes at a time: each test below marks the first byte it finds exactly (a borrow
    // only runs upwards from a marked byte), so the lowest mark is the first byte to stop at.
    constexpr uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    const auto zeroByte = [](uint64_t v) { return (v - ones) & ~v & highs; };
    while (end - s >= 8) {
        uint64_t x;
        std::memcpy(&x, s, 8);
        uint64_t mask = zeroByte(x ^ (ones * '"')) | zeroByte(x ^ (ones * '\\')) |
                        ((x - ones * 0x20) & ~x & highs);  // below 0x20
        if (escapeSolidus)
            mask |= zeroByte(x ^ (ones * '/'));
        if (!kMultiByte)
            mask |= x & highs;
        if (mask)
            return s + (__builtin_ctzll(mask) >> 3);
        s += 8;
    }
#endif
    while (s < end && ((kMultiByte && *s >= 0x80) || plain[*s]))
        ++s;
    return s;
}

// The length of the well-formed UTF-8 sequence at s (lead byte 0x80 or above), or 0.
inline size_t wellFormedSequenceLength(const uint8_t* s, const uint8_t* end) {
    const uint8_t c = s[0];
    const ptrdiff_t left = end - s;
    if (c >= 0xC2 && c <= 0xDF)
        return left >= 2 && (s[1] & 0xC0) == 0x80 ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || (s[1] & 0xC0) != 0x80 || (s[2] & 0xC0) != 0x80)
            return 0;
        if ((c == 0xE0 && s[1] < 0xA0) || (c == 0xED && s[1] > 0x9F))
            return 0;
        return 3;
    }
    return left >= 4 && isLegalUTF8(s, 4) ? 4 : 0;
}

struct PlainTables {
    bool plain[256] = {};
    bool plainWithSolidus[256] = {};
    constexpr PlainTables() {
        for (int c = 0x20; c < 0x80; ++c) {
            plain[c] = c != '"' && c != '\\';
            plainWithSolidus[c] = plain[c] && c != '/';
        }
    }
};
constexpr PlainTables kPlain;

// Sorts keys as the platform's literal string comparison does: by UTF-16 code units.
bool utf16Less(std::string_view a, std::string_view b) {
    const auto* x = reinterpret_cast<const uint8_t*>(a.data());
    const auto* y = reinterpret_cast<const uint8_t*>(b.data());
    const uint8_t *xe = x + a.size(), *ye = y + b.size();
    while (x < xe && y < ye) {
        if (*x < 0x80 && *y < 0x80) {
            if (*x != *y)
                return *x < *y;
            ++x, ++y;
            continue;
        }
        // Code points of four UTF-8 bytes are surrogate pairs in UTF-16, which sort below
        // U+E000..U+FFFF; everything else sorts by code point.
        auto unitKey = [](const uint8_t*& s, const uint8_t* e) -> uint32_t {
            if (*s < 0x80)
                return *s++;
            const uint8_t* next;
            uint32_t cp;
            ConvertSingleCodePointInUTF8(s, e, &next, &cp);
            s = next;
            if (cp >= 0x10000)
                return 0xD800 + (cp - 0x10000);  // after U+D7FF, before U+E000
            return cp >= 0xE000 ? cp + 0x200000 : cp;
        };
        const uint32_t cx = unitKey(x, xe), cy = unitKey(y, ye);
        if (cx != cy)
            return cx < cy;
    }
    return (x == xe) && (y != ye);
}

bool keyLess(const Value& a, const Value& b) {
    const bool x = a.isString(), y = b.isString();
    if (x && y)
        return utf16Less(a.stringView(), b.stringView());
    return x && !y;  // keys that are not strings go last (and then fail)
}

class Encoder {
  public:
    Encoder(JKSerializeOptionFlags options, JKEncodeOptionType encodeOption,
            JKSerializeUnsupportedClassBlock block, Ref<plat::Object> delegate,
            plat::Selector selector)
        : pretty_(options & JKSerializeOptionPretty),
          escapeNonASCII_(options & JKSerializeOptionEscapeNonASCII),
          escapeSolidus_(options & JKSerializeOptionEscapeSolidus),
          trimQuotes_(encodeOption & JKEncodeOptionStringObjTrimQuotes),
          plain_(escapeSolidus_ ? kPlain.plainWithSolidus : kPlain.plain),
          block_(std::move(block)),
          delegate_(std::move(delegate)),
          selector_(selector),
          cache_(JKEncodeCache::take()) {
        buffer_.growthGranule = 32768;
        jk_managedBuffer_setToStackBuffer(buffer_, cache_->frame(), JKEncodeCache::frameSize());
        out_ = buffer_.bytes.ptr;
        capacity_ = buffer_.bytes.length;
    }

    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() { JKEncodeCache::give(std::move(cache_)); }

    bool add(const Value& object);
    bool failed() const { return error_ != nullptr; }
    const Ref<plat::Error>& error() const { return error_; }
    void recordError(std::string message) {
        if (!error_)
            error_ = JKErrorMake(std::move(message));
    }
    std::string_view text() const { return {reinterpret_cast<const char*>(out_), atIndex_}; }

  private:
    friend class MemberSink;

    // Room for n more bytes; false after recording the failure.
    bool reserve(size_t n) {
        if (atIndex_ + n <= capacity_) [[likely]]
            return true;
        return grow(n);
    }
    bool grow(size_t n);
    void put(const void* bytes, size_t n) {
        std::memcpy(out_ + atIndex_, bytes, n);
        atIndex_ += n;
    }
    void put(char c) { out_[atIndex_++] = static_cast<unsigned char>(c); }
    bool write(std::string_view text) {
        if (!reserve(text.size()))
            return false;
        put(text.data(), text.size());
        return true;
    }

    // One structural character; pretty text also changes the depth and breaks lines.
    bool write1(int depthChange, char c) {
        if (!pretty_) [[likely]] {
            if (!reserve(1))
                return false;
            put(c);
            return true;
        }
        return write1Pretty(depthChange, c);
    }
    bool write1Pretty(int depthChange, char c);
    bool writePrettyPrintWhiteSpace();
    // A text known to be well-formed UTF-8 is not checked again.
    bool writeString(std::string_view s, bool checkedUTF8);
    bool writeNumber(const Number& n);
    bool writeArray(const plat::Array& array);
    bool writeDictionary(const plat::Dictionary& dictionary);
    // The members of a dictionary that gives them itself (compact text without options only).
    bool writeSelfWritten(const JKSelfWritingDictionary& dictionary);
    bool enter(const plat::Object& container, const Value& v);
    void leave() { path_.pop_back(); }
    bool addMember(bool first, const Value& key, const Value& value);
    // add() for the common members: a number, null, or a short text once the cache keeps what
    // it refers to (see add()), written without the cache's bookkeeping.
    bool addQuick(const Value& v);
    // Called before code of others runs (formatters, enumerations of other collections), which
    // could let go of values written before: from then on the cache keeps what it refers to.
    void othersRun() {
        if (!othersRan_) {
            othersRan_ = true;
            cache_->forgetUnkept();
        }
    }

    // Compact text with quoted, unescaped keys: what a rendered key is.
    bool plainText() const {
        return !pretty_ && !escapeNonASCII_ && !escapeSolidus_ && !trimQuotes_;
    }

    const bool pretty_, escapeNonASCII_, escapeSolidus_, trimQuotes_;
    const bool* const plain_;
    JKSerializeUnsupportedClassBlock block_;
    Ref<plat::Object> delegate_;
    plat::Selector selector_;

    JKManagedBuffer buffer_;
    unsigned char* out_ = nullptr;
    size_t capacity_ = 0;
    size_t atIndex_ = 0;
    size_t depth_ = 0;
    std::unique_ptr<JKEncodeCache> cache_;
    // Until code of others runs, the tree being written keeps every value it holds alive.
    bool othersRan_ = false;
    std::vector<const void*> path_;  // the containers being written, outermost first
    Ref<plat::Error> error_;
};

bool Encoder::grow(size_t n) {
    // Grow by large steps, and at least by half the current size so that long texts grow in
    // few steps.
    size_t wanted = atIndex_ + n + 1024;
    if (wanted < capacity_ + capacity_ / 2)
        wanted = capacity_ + capacity_ / 2;
    if (!jk_managedBuffer_resize(buffer_, wanted)) {
        recordError("Unable to resize temporary buffer.");
        out_ = nullptr;
        capacity_ = 0;
        atIndex_ = 0;
        return false;
    }
    out_ = buffer_.bytes.ptr;
    capacity_ = buffer_.bytes.length;
    return true;
}

bool Encoder::writePrettyPrintWhiteSpace() {
    if (!reserve(2 * (depth_ + 1) + 16))
        return false;
    put('\n');
    std::memset(out_ + atIndex_, ' ', 2 * depth_);
    atIndex_ += 2 * depth_;
    return true;
}

bool Encoder::write1Pretty(int depthChange, char c) {
    if (!reserve(2 * (depth_ + 1) + 16))
        return false;
    depth_ = static_cast<size_t>(static_cast<ptrdiff_t>(depth_) + depthChange);
    if (c == ':') {
        put(':');
        put(' ');
        return true;
    }
    if (depthChange < 0) {
        if (!writePrettyPrintWhiteSpace())
            return false;
        put(c);
        return true;
    }
    put(c);
    return writePrettyPrintWhiteSpace();
}

bool Encoder::writeString(std::string_view string, bool checkedUTF8) {
    static constexpr char hex[] = "0123456789abcdef";
    auto* s = reinterpret_cast<const uint8_t*>(string.data());
    const uint8_t* const end = s + string.size();
    if (!trimQuotes_) {
        if (!reserve(1))
            return false;
        put('"');
    }
    auto putUnit = [&](uint32_t unit) {
        const char escaped[6] = {'\\',
                                 'u',
                                 hex[(unit >> 12) & 0xF],
                                 hex[(unit >> 8) & 0xF],
                                 hex[(unit >> 4) & 0xF],
                                 hex[unit & 0xF]};
        put(escaped, 6);
    };
    const bool copyMultiByte = checkedUTF8 && !escapeNonASCII_;
    while (s < end) {
        const uint8_t* run = s;
        s = copyMultiByte ? skipPlainBytes<true>(s, end, escapeSolidus_, plain_)
                          : skipPlainBytes<false>(s, end, escapeSolidus_, plain_);
        if (s > run) {
            if (!reserve(static_cast<size_t>(s - run)))
                return false;
            put(run, static_cast<size_t>(s - run));
            if (s >= end)
                break;
        }
        const uint8_t c = *s;
        if (!reserve(12))
            return false;
        if (c < 0x80) {
            ++s;
            switch (c) {
                case 0x08:
                    put("\\b", 2);
                    break;
                case 0x09:
                    put("\\t", 2);
                    break;
                case 0x0A:
                    put("\\n", 2);
                    break;
                case 0x0C:
                    put("\\f", 2);
                    break;
                case 0x0D:
                    put("\\r", 2);
                    break;
                case '"':
                    put("\\\"", 2);
                    break;
                case '\\':
                    put("\\\\", 2);
                    break;
                case '/':
                    put("\\/", 2);
                    break;
                default:
                    putUnit(c);  // every other control character, U+0000 included
            }
            continue;
        }
        if (!escapeNonASCII_) {
            // Copy the run of well-formed multi-byte sequences as it is.
            const uint8_t* start = s;
            while (s < end && *s >= 0x80) {
                const size_t n = wellFormedSequenceLength(s, end);
                if (n == 0) {
                    recordError("An error occurred converting the contents of a NSString to UTF8.");
                    return false;
                }
                s += n;
            }
            if (!reserve(static_cast<size_t>(s - start)))
                return false;
            put(start, static_cast<size_t>(s - start));
            continue;
        }
        const uint8_t* next;
        uint32_t cp;
        if (ConvertSingleCodePointInUTF8(s, end, &next, &cp) != conversionOK) {
            recordError("Error converting UTF8.");
            return false;
        }
        s = next;
        if (cp <= 0xFFFF) {
            putUnit(cp);
        } else {
            putUnit(0xD7C0 + (cp >> 10));
            putUnit(0xDC00 + (cp & 0x3FF));
        }
    }
    if (!trimQuotes_) {
        if (!reserve(1))
            return false;
        put('"');
    }
    return true;
}

bool Encoder::writeNumber(const Number& number) {
    // Written in place: room for the longest text of any number.
    static_assert(kJKDoubleTextMax >= 21);
    if (!reserve(kJKDoubleTextMax))
        return false;
    char* const at = reinterpret_cast<char*>(out_ + atIndex_);
    char* end = nullptr;
    const char type = number.type();
    switch (type) {
        case 'c':
        case 'i':
        case 's':
        case 'l':
        case 'q':
            end = std::to_chars(at, at + kJKDoubleTextMax, number.int64Value()).ptr;
            break;
        case 'C':
        case 'I':
        case 'S':
        case 'L':
        case 'Q':
        case 'B':
            end = std::to_chars(at, at + kJKDoubleTextMax, number.uint64Value()).ptr;
            break;
        case 'f':
        case 'd': {
            const double d = number.doubleValue();
            if (std::isnan(d) || std::isinf(d)) {
                recordError(
                    "Floating point values must be finite.  JSON does not support NaN or "
                    "Infinity.");
                return false;
            }
            // The same text as "%.17g".
            end = jk_writeDoubleText(d, at);
            break;
        }
        default:
            recordError(
                plat::format("NSNumber conversion error, unknown type.  Type: '%c' / 0x%2.2x", type,
                             static_cast<unsigned char>(type)));
            return false;
    }
    atIndex_ += static_cast<size_t>(end - at);
    return true;
}

bool Encoder::enter(const plat::Object& container, const Value& v) {
    const void* identity = &container;
    if (std::find(path_.begin(), path_.end(), identity) != path_.end()) {
        recordError(plat::format("Unable to serialize object class %s because it contains itself.",
                                 classNameOf(v).c_str()));
        return false;
    }
    if (path_.size() >= JKMaximumNestingDepth) {
        recordError(
            plat::format("Unable to serialize object class %s: nesting exceeds the "
                         "maximum depth of %zu.",
                         classNameOf(v).c_str(), JKMaximumNestingDepth));
        return false;
    }
    path_.push_back(identity);
    return true;
}

bool Encoder::writeArray(const plat::Array& array) {
    if (!write1(+1, '['))
        return false;
    bool first = true;
    auto element = [&](const Value& v) {
        if (!first && !write1(0, ','))
            return false;
        first = false;
        return add(v);
    };
    // The reader's immutable arrays and the platform's own are read in place; others (and
    // mutable reader arrays, which watch for mutation) through their enumeration.
    std::span<const Value> direct;
    bool isDirect = false;
    if (typeid(array) == typeid(JKArray) && !array.isMutable()) {
        direct = static_cast<const JKArray&>(array).objects();
        isDirect = true;
    } else if (typeid(array) == typeid(plat::MutableArray)) {
        direct = static_cast<const plat::MutableArray&>(array).storage();
        isDirect = true;
    }
    if (isDirect) {
        for (const Value& v : direct) {
            if (!element(v))
                return false;
        }
    } else {
        bool ok = true;
        othersRun();
        array.enumerate([&](const Value& v) { return ok = element(v); });
        if (!ok)
            return false;
    }
    return write1(-1, ']');
}

bool Encoder::addMember(bool first, const Value& key, const Value& value) {
    if (!first && !write1(0, ','))
        return false;
    if (!key.isString()) {
        recordError("Key must be a string object.");
        return false;
    }
    return addQuick(key) && write1(0, ':') && addQuick(value);
}

bool Encoder::addQuick(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::String:
            if (othersRan_ && v.stringView().size() < kShortText)
                return writeString(v.stringView(), v.hasCheckedUTF8());
            break;
        case Value::Kind::Number:
            return writeNumber(*v.number());
        case Value::Kind::Null:
            return write("null");
        default:
            break;
    }
    return add(v);
}

bool Encoder::writeDictionary(const plat::Dictionary& dictionary) {
    if (!write1(+1, '{'))
        return false;
    const auto* jk = typeid(dictionary) == typeid(JKDictionary)
                         ? static_cast<const JKDictionary*>(&dictionary)
                         : nullptr;
    const bool direct = jk && !jk->isMutable();
    if (pretty_) {
        if (!direct)
            othersRun();
        std::vector<std::pair<Value, Value>> members;
        members.reserve(dictionary.count());
        if (direct) {
            for (const JKFlatMember& m : jk->members())
                members.emplace_back(jk->keyOf(m), m.object);
            for (const JKHashTableEntry& e : jk->entries()) {
                if (!e.key.isNil())
                    members.emplace_back(e.key, e.object);
            }
        } else {
            dictionary.enumerateKeysAndObjects([&](const Value& k, const Value& v) {
                members.emplace_back(k, v);
                return true;
            });
        }
        std::stable_sort(members.begin(), members.end(),
                         [](const auto& a, const auto& b) { return keyLess(a.first, b.first); });
        bool first = true;
        for (const auto& [key, value] : members) {
            if (!addMember(first, key, value))
                return false;
            first = false;
        }
    } else if (direct) {
        bool first = true;
        for (const JKFlatMember& m : jk->members()) {
            if (!addMember(first, jk->keyOf(m), m.object))
                return false;
            first = false;
        }
        for (const JKHashTableEntry& e : jk->entries()) {
            if (e.key.isNil())
                continue;
            if (!addMember(first, e.key, e.object))
                return false;
            first = false;
        }
    } else if (typeid(dictionary) == typeid(plat::MutableDictionary)) {
        bool first = true;
        for (const auto& [key, value] :
             static_cast<const plat::MutableDictionary&>(dictionary).entries()) {
            if (!addMember(first, key, value))
                return false;
            first = false;
        }
    } else if (const auto* self = plainText()
                                      ? dynamic_cast<const JKSelfWritingDictionary*>(&dictionary)
                                      : nullptr) {
        if (!writeSelfWritten(*self))
            return false;
    } else {
        bool first = true, ok = true;
        othersRun();
        // Each value is written at once; the cache keeps what it refers to alive until the end.
        dictionary.enumerateKeysAndTransientObjects([&](const Value& k, const Value& v) {
            ok = addMember(first, k, v);
            first = false;
            return ok;
        });
        if (!ok)
            return false;
    }
    return write1(-1, '}');
}

// The writer a self-writing dictionary is given: members go straight to the encoder's output.
class MemberSink final : public JKMemberWriter {
  public:
    explicit MemberSink(Encoder& encoder) : encoder_(encoder) {}

    bool textMember(std::string_view renderedKey, std::string_view text) override {
        return key(renderedKey) && encoder_.writeString(text, false);
    }
    bool nullMember(std::string_view renderedKey) override {
        return key(renderedKey) && encoder_.write("null");
    }
    bool valueMember(std::string_view renderedKey, const Value& value) override {
        return key(renderedKey) && encoder_.addQuick(value);
    }
    bool member(const Value& key, const Value& value) override {
        const bool first = first_;
        first_ = false;
        return encoder_.addMember(first, key, value);
    }

  private:
    bool key(std::string_view renderedKey) {
        if (!encoder_.reserve(renderedKey.size() + 1))
            return false;
        if (!first_)
            encoder_.put(',');
        first_ = false;
        encoder_.put(renderedKey.data(), renderedKey.size());
        return true;
    }

    Encoder& encoder_;
    bool first_ = true;
};

bool Encoder::writeSelfWritten(const JKSelfWritingDictionary& dictionary) {
    // The dictionary runs code of others (its own readers, formatters) between the members.
    othersRun();
    MemberSink sink(*this);
    return dictionary.writeMembers(sink) && !failed();
}

bool Encoder::add(const Value& original) {
    // Strings written before in this call are copied from the output. Once the cache must keep
    // what it refers to alive, a short text is written again rather than counted and kept.
    const void* identity = identityOf(original);
    if (othersRan_ && identity && original.isString() &&
        original.stringView().size() < kShortText) {
        identity = nullptr;
    }
    size_t slot = 0;
    if (identity) {
        slot = JKEncodeCache::slotFor(identity);
        if (cache_->holds(slot, identity)) {
            const size_t length = cache_->length(slot);
            if (!reserve(length))
                return false;
            std::memcpy(out_ + atIndex_, out_ + cache_->offset(slot), length);
            atIndex_ += length;
            return true;
        }
    }
    const size_t startingAtIndex = atIndex_;

    const Value* value = &original;
    Value replacement;
    for (bool replaced = false;; replaced = true) {
        switch (value->kind()) {
            case Value::Kind::String:
                if (!writeString(value->stringView(), value->hasCheckedUTF8()))
                    return false;
                break;
            case Value::Kind::Number:
                if (!writeNumber(*value->number()))
                    return false;
                break;
            case Value::Kind::Bool:
                if (!write(value->boolValue() ? "true" : "false"))
                    return false;
                break;
            case Value::Kind::Null:
                if (!write("null"))
                    return false;
                break;
            case Value::Kind::Decimal: {
                if (!writeNumber(Number::fromDouble(value->decimal()->doubleValue())))
                    return false;
                break;
            }
            case Value::Kind::Array: {
                const plat::Array* array = value->arrayPointer();
                if (!enter(*array, *value) || !writeArray(*array))
                    return false;
                leave();
                return true;
            }
            case Value::Kind::Dictionary: {
                const plat::Dictionary* dictionary = value->dictionaryPointer();
                if (!enter(*dictionary, *value) || !writeDictionary(*dictionary))
                    return false;
                leave();
                return true;
            }
            default: {
                if (replaced) {
                    recordError(plat::format(
                        "Unable to serialize object class %s that was returned by the unsupported "
                        "class formatter.  Original object class was %s.",
                        classNameOf(*value).c_str(), classNameOf(original).c_str()));
                    return false;
                }
                othersRun();
                if (block_)
                    replacement = block_(original);
                if (replacement.isNil() && delegate_) {
                    replacement = plat::send<Value>(delegate_, selector_, original);
                }
                if (replacement.isNil()) {
                    recordError(plat::format("Unable to serialize object class %s.",
                                             classNameOf(original).c_str()));
                    return false;
                }
                value = &replacement;
                continue;
            }
        }
        break;
    }
    if (identity)
        cache_->fill(slot, identity, original, othersRan_, startingAtIndex,
                     atIndex_ - startingAtIndex);
    return true;
}

}  // namespace

struct JKEncodeState {
    template <class... A>
    explicit JKEncodeState(A&&... args) : encoder(std::forward<A>(args)...) {}
    Encoder encoder;
};

std::optional<std::string> JKMemberWriter::renderedKey(std::string_view key) {
    auto text = JKSerializer::serializeObjectToString(
        Value(std::string(key)), 0, JKEncodeOptionStringObj | JKEncodeOptionResultString, {}, {},
        {}, nullptr);
    if (text)
        *text += ':';
    return text;
}

JKSerializer::JKSerializer() = default;
JKSerializer::~JKSerializer() {
    releaseState();
}

void JKSerializer::releaseState() {
    state_.reset();
}

std::optional<std::string> JKSerializer::run(const Value& object, JKSerializeOptionFlags options,
                                             JKEncodeOptionType encodeOption,
                                             JKSerializeUnsupportedClassBlock block,
                                             Ref<plat::Object> delegate, plat::Selector selector,
                                             Ref<plat::Error>* error) {
    PLAT_ASSERT(!(block && delegate),
                "Invalid parameter not satisfying: (block == NULL) || (delegate == NULL)");
    PLAT_ASSERT(!((encodeOption & JKEncodeOptionCollectionObj) &&
                  (encodeOption & (JKEncodeOptionStringObj | JKEncodeOptionStringObjTrimQuotes))),
                "Invalid parameter not satisfying: a collection is not written as a bare string");
    releaseState();
    if (error)
        *error = nullptr;
    if (delegate) {
        if (!selector) {
            plat::raise(plat::NSInvalidArgumentException,
                        "The delegate argument is not NULL, but the selector argument is NULL.");
        }
        if (!delegate->respondsToSelector(selector)) {
            plat::raise(plat::NSInvalidArgumentException,
                        "The serializeUnsupportedClassesUsingDelegate: delegate does not respond "
                        "to the selector argument.");
        }
    }
    state_ = std::make_unique<JKEncodeState>(options, encodeOption, std::move(block),
                                             std::move(delegate), selector);
    Encoder& encoder = state_->encoder;

    if ((encodeOption & JKEncodeOptionCollectionObj) && !object.isArray() &&
        !object.isDictionary()) {
        encoder.recordError(
            plat::format("Unable to serialize object class %s, expected a NSArray or NSDictionary.",
                         classNameOf(object).c_str()));
    } else if ((encodeOption & JKEncodeOptionStringObj) && !object.isString()) {
        encoder.recordError(
            plat::format("Unable to serialize object class %s, expected a NSString.",
                         classNameOf(object).c_str()));
    } else {
        encoder.add(object);
    }
    const JKEncodeOptionType kind = encodeOption & JKEncodeOptionResultMask;
    if (!encoder.failed() && kind != JKEncodeOptionResultData &&
        kind != JKEncodeOptionResultString) {
        encoder.recordError("Unknown encode as type.");
    }
    std::optional<std::string> result;
    if (!encoder.failed())
        result.emplace(encoder.text());
    if (encoder.failed() && error)
        *error = encoder.error();
    releaseState();
    return result;
}

std::optional<std::string> JKSerializer::serializeObjectToString(
    const Value& object, JKSerializeOptionFlags options, JKEncodeOptionType encodeOption,
    JKSerializeUnsupportedClassBlock block, Ref<plat::Object> delegate, plat::Selector selector,
    Ref<plat::Error>* error) {
    JKSerializer serializer;
    return serializer.run(object, options, encodeOption, std::move(block), std::move(delegate),
                          selector, error);
}

Value JKSerializer::serializeObject(const Value& object, JKSerializeOptionFlags options,
                                    JKEncodeOptionType encodeOption,
                                    JKSerializeUnsupportedClassBlock block,
                                    Ref<plat::Object> delegate, plat::Selector selector,
                                    Ref<plat::Error>* error) {
    auto text = serializeObjectToString(object, options, encodeOption, std::move(block),
                                        std::move(delegate), selector, error);
    if (!text)
        return Value();
    if ((encodeOption & JKEncodeOptionResultMask) == JKEncodeOptionResultData) {
        return Value::data(plat::Bytes(text->begin(), text->end()));
    }
    return Value(std::move(*text));
}
