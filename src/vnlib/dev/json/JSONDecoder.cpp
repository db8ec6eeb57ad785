#include "vnlib/dev/json/JSONDecoder.h"

#include "platform/core/HexDigit.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/core/Log.h"
#include "vnlib/dev/json/JKArray.h"
#include "vnlib/dev/json/JKConvertUTF8.h"
#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JKDocument.h"
#include "vnlib/dev/json/JKError.h"
#include "vnlib/dev/json/JKManagedBuffer.h"

PLAT_DEFINE_CLASS(JSONDecoder, plat::Object, PLAT_NO_METHODS)

using plat::Number;
using plat::Value;

namespace {

constexpr const char* kSourceFile = "JSONDecoder.cpp";
constexpr size_t kTokenCacheSize = 1024;
constexpr size_t kObjectStackStart = 64;
constexpr size_t kTokenBufferStart = 2048;
constexpr uint8_t kValueTypeString = 5;

enum JKTokenType : uint8_t {
    JKTokenTypeInvalid = 0,
    JKTokenTypeNumber = 1,
    JKTokenTypeString = 2,
    JKTokenTypeObjectBegin = 3,
    JKTokenTypeObjectEnd = 4,
    JKTokenTypeArrayBegin = 5,
    JKTokenTypeArrayEnd = 6,
    JKTokenTypeSeparator = 7,
    JKTokenTypeComma = 8,
    JKTokenTypeTrue = 9,
    JKTokenTypeFalse = 10,
    JKTokenTypeNull = 11,
};

// Container states: which tokens may come next.
enum : uint8_t { kMayValue = 1, kMayComma = 2, kMayEnd = 4 };

constexpr const char* kUnexpectedToken =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', "
    "'\"STRING\"', 'NUMBER'.";

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Byte equality of two short texts without a call for the usual lengths.
inline bool jk_equalBytes(const uint8_t* a, const char* b, size_t n) {
    if (n >= 8 && n <= 16) {
        const auto* c = reinterpret_cast<const uint8_t*>(b);
        return load64(a) == load64(c) && load64(a + n - 8) == load64(c + n - 8);
    }
    return std::memcmp(a, b, n) == 0;
}

constexpr size_t kCachedBytes = 40;

// One slot of the token cache: a string of a document. The bytes of short strings are kept in
// the slot itself, so that a probe compares them without visiting the string object.
struct JKTokenCacheItem {
    uint64_t hash = 0;
    size_t size = 0;
    uint8_t type = 0;
    char bytes[kCachedBytes] = {};
    const plat::DocumentText* text = nullptr;
    const JKDocument* document = nullptr;  // the document that holds the text
    uint64_t generation = 0;               // the parse that made the document
    size_t keyHash = 0;  // the platform hash of the string as a dictionary key; 0 until needed
    bool key = false;    // the string has served as a key: only another key may take the slot

    bool holds(uint64_t h, const uint8_t* p, size_t n) const {
        if (hash != h || size != n || type != kValueTypeString)
            return false;
        return jk_equalBytes(p, n <= kCachedBytes ? bytes : text->data(), n);
    }
};

struct JKParseToken {
    JKTokenType type = JKTokenTypeInvalid;
    const uint8_t* text = nullptr;  // the token's bytes in the input, quotes included
    size_t textLength = 0;
    const uint8_t* value = nullptr;  // a string's decoded bytes (input or token buffer)
    size_t valueLength = 0;
    Number number;
};

// One open array or object of the parse.
struct JKFrame {
    bool isDictionary = false;
    bool awaitingValue = false;  // an object whose current member's value is a container
    uint8_t state = kMayValue | kMayEnd;
    size_t start = 0;   // first object-stack entry of this container
    size_t cursor = 0;  // next free entry
    const uint8_t* open = nullptr;  // the container's opening bracket in the text
};

// Puts a value into a stack entry that a container has given up (nil): constructing it there
// costs less than assigning.
inline void place(Value& entry, Value&& v) noexcept {
    std::destroy_at(&entry);
    std::construct_at(&entry, std::move(v));
}

inline uint64_t mix(uint64_t h) {
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return h;
}

// A cheap hash of a decoded string for the token cache: length, and the first, middle and last
// eight bytes (every byte of strings up to 24 bytes). Equal hashes are confirmed byte by byte.
inline uint64_t jk_stringHash(const uint8_t* p, size_t n) {
    uint64_t h = 1402737925ull + kValueTypeString + n * 0x9E3779B97F4A7C15ull;
    if (n >= 8) {
        h = mix(h ^ load64(p));
        h = mix(h ^ load64(p + (n - 8) / 2));
        h = mix(h ^ load64(p + n - 8));
    } else {
        // The bytes as a little-endian number, without a call to memcpy.
        uint64_t v = 0;
        if (n >= 4) {
            uint32_t low, high;
            std::memcpy(&low, p, 4);
            std::memcpy(&high, p + n - 4, 4);
            v = low | uint64_t{high} >> (8 * (8 - n)) << 32;
        } else {
            for (size_t i = 0; i < n; ++i)
                v |= uint64_t{p[i]} << (8 * i);
        }
        h = mix(h ^ v);
    }
    return h;
}

// Plain string bytes: 0x20..0x7F except the quotation mark and the backslash.
struct PlainTable {
    bool plain[256] = {};
    constexpr PlainTable() {
        for (int c = 0x20; c < 0x80; ++c)
            plain[c] = c != '"' && c != '\\';
    }
};
constexpr PlainTable kPlainBytes;

inline const uint8_t* jk_skipPlainStringBytes(const uint8_t* s, const uint8_t* end) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(0x20);
    while (end - s >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        // Signed comparison: bytes below 0x20 and bytes of 0x80 and above both compare less.
        const __m128i special =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, backslash)),
                         _mm_cmplt_epi8(x, space));
        const int mask = _mm_movemask_epi8(special);
        if (mask)
            return s + __builtin_ctz(static_cast<unsigned>(mask));
        s += 16;
    }
#endif
    while (s < end && kPlainBytes.plain[*s])
        ++s;
    return s;
}

// The length of the allowed UTF-8 sequence at s (lead byte 0x80 or above), or 0 when it is
// malformed, forbidden or cut off.
inline size_t jk_allowedSequenceLength(const uint8_t* s, const uint8_t* end) {
    const uint8_t c = s[0];
    const ptrdiff_t left = end - s;
    if (c >= 0xC2 && c <= 0xDF)
        return left >= 2 && (s[1] & 0xC0) == 0x80 ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3)
            return 0;
        const uint8_t c1 = s[1], c2 = s[2];
        if ((c1 & 0xC0) != 0x80 || (c2 & 0xC0) != 0x80)
            return 0;
        if (c == 0xE0 && c1 < 0xA0)
            return 0;
        if (c == 0xED && c1 > 0x9F)
            return 0;
        if (c == 0xEF) {
            const uint32_t cp = (uint32_t{c1} & 0x3F) << 6 | (c2 & 0x3F) | 0xF000;
            if ((cp >= 0xFDD0 && cp <= 0xFDEF) || cp >= 0xFFFE)
                return 0;
        }
        return 3;
    }
    const uint8_t* next;
    uint32_t cp;
    if (ConvertSingleCodePointInUTF8(s, end, &next, &cp) != conversionOK)
        return 0;
    return static_cast<size_t>(next - s);
}

// Skips a run of allowed UTF-8 sequences; stops at an ASCII byte or at a sequence that is
// malformed, forbidden or cut off.
inline const uint8_t* jk_skipAllowedSequences(const uint8_t* s, const uint8_t* end) {
    while (s < end && *s >= 0x80) {
        if constexpr (std::endian::native == std::endian::little) {
            // Three bytes led by E0 with a second byte A0..BF (Thai among them): code points
            // U+0800..U+0FFF, none of them forbidden.
            if (end - s >= 4) {
                uint32_t v;
                std::memcpy(&v, s, 4);
                if ((v & 0x00C0E0FFu) == 0x0080A0E0u) {
                    s += 3;
                    continue;
                }
            }
        }
        const size_t n = jk_allowedSequenceLength(s, end);
        if (n == 0)
            break;
        s += n;
    }
    return s;
}

// Skips the bytes that a string may hold as they stand: plain ASCII and allowed UTF-8.
inline const uint8_t* jk_skipVerbatimStringBytes(const uint8_t* s, const uint8_t* end) {
    for (;;) {
        s = jk_skipPlainStringBytes(s, end);
        if (s >= end || *s < 0x80)
            return s;
        const uint8_t* after = jk_skipAllowedSequences(s, end);
        if (after == s)
            return s;
        s = after;
    }
}

// The one empty text of every parse, held by a document that is never released.
const plat::DocumentText& emptyText() {
    static const Ref<JKDocument> holder = std::make_shared<JKDocument>();
    static const plat::DocumentText& empty = holder->makeText("", 0);
    return empty;
}

// Long strings of values rarely repeat: only keys and strings up to this length go through the
// token cache.
constexpr size_t kCachedValueBytes = kCachedBytes;

}  // namespace

// The token cache: 1024 slots, each constructed on first use so that a decoder made for one
// small text costs little.
class JKTokenCache {
  public:
    JKTokenCache() : items_(std::allocator<JKTokenCacheItem>().allocate(kTokenCacheSize)) {
        used_.fill(false);
    }
    JKTokenCache(const JKTokenCache&) = delete;
    JKTokenCache& operator=(const JKTokenCache&) = delete;
    ~JKTokenCache() {
        clear();
        std::allocator<JKTokenCacheItem>().deallocate(items_, kTokenCacheSize);
    }

    // The slot, or null while it has never been used.
    JKTokenCacheItem* find(size_t index) { return used_[index] ? items_ + index : nullptr; }
    // The slot, made empty on first use.
    JKTokenCacheItem* take(size_t index) {
        if (!used_[index]) {
            std::construct_at(items_ + index);
            used_[index] = true;
        }
        return items_ + index;
    }
    void clear() {
        for (size_t i = 0; i < kTokenCacheSize; ++i) {
            if (used_[i])
                std::destroy_at(items_ + i);
        }
        used_.fill(false);
    }

  private:
    JKTokenCacheItem* items_;  // storage for all slots; a slot is constructed while used
    std::array<bool, kTokenCacheSize> used_;
};

// The decoder's state: options, the object stack and the token cache, kept between parses.
struct JKParseState {
    explicit JKParseState(JKParseOptionFlags options) : options(options) {}

    // An earlier parse's document that cache slots still refer to.
    struct CachedDocument {
        Ref<const JKDocument> document;
        size_t slots = 0;     // cache slots that refer to it
        uint64_t keptBy = 0;  // the last parse whose document was made to keep it
    };

    // Gives up a slot's claim on its document.
    void releaseSlot(const JKTokenCacheItem& item) {
        if (!item.text)
            return;
        if (item.generation == generation) {
            --currentSlots;
            return;
        }
        auto it = cachedDocuments.find(item.generation);
        if (it != cachedDocuments.end() && --it->second.slots == 0)
            cachedDocuments.erase(it);
    }
    // Ends a parse: the cache keeps its document while slots refer to it; the slots of a failed
    // parse are emptied.
    void finishParse(const Ref<JKDocument>& document, bool succeeded);
    void clearCache() {
        cache.clear();
        cachedDocuments.clear();
        currentSlots = 0;
    }

    void resetObjectStack() {
        objects.assign(kObjectStackStart, Value());
        keys.assign(kObjectStackStart, Value());
        keyTexts.assign(kObjectStackStart, nullptr);
        keyHashes.assign(kObjectStackStart, 0);
        valueTexts.assign(kObjectStackStart, {});
        objects.shrink_to_fit();
        keys.shrink_to_fit();
        keyTexts.shrink_to_fit();
        keyHashes.shrink_to_fit();
        valueTexts.shrink_to_fit();
    }

    JKParseOptionFlags options;
    size_t maxTreeBytes = 0;         // 0: no bound
    bool exceededTreeBytes = false;  // by the last parse
    JKTokenCache cache;
    uint64_t generation = 1;  // of the current or next parse
    size_t currentSlots = 0;  // cache slots that refer to the current parse's document
    std::map<uint64_t, CachedDocument> cachedDocuments;
    // The pending elements of every open container: parallel arrays of objects, keys (values
    // for mutable containers, texts of the document for immutable ones) and the keys' hashes.
    std::vector<Value> objects;
    std::vector<Value> keys;
    std::vector<const plat::DocumentText*> keyTexts;
    std::vector<size_t> keyHashes;
    // Where each value lies in the text (offset, length), for the objects of a kept text.
    std::vector<std::pair<size_t, size_t>> valueTexts;
    std::vector<JKFrame> frames;
};

namespace {

// One parse run over the decoder's state.
class Parser {
  public:
    Parser(JKParseState& state, JKDocument& document, const uint8_t* bytes, size_t length,
           bool mutableCollections, bool objectsKnowTheirText = false)
        : state_(state),
          document_(document),
          options_(state.options),
          begin_(bytes),
          end_(bytes + length),
          p_(bytes),
          mutable_(mutableCollections),
          objectsKnowTheirText_(objectsKnowTheirText) {
        jk_managedBuffer_setToStackBuffer(tokenBuffer_, frameBuffer_, sizeof frameBuffer_);
        tokenBuffer_.growthGranule = 4096;
        if (state_.objects.size() < kObjectStackStart)
            state_.resetObjectStack();
    }

    ~Parser() {
        // Objects still on the stack belong to a failed parse: release them, and give back any
        // storage that a wide container made the stack grow to.
        const size_t used = std::min(highWater_, state_.objects.size());
        for (size_t i = 0; i < used; ++i) {
            state_.objects[i] = Value();
            state_.keys[i] = Value();
        }
        if (state_.objects.size() > kObjectStackStart)
            state_.resetObjectStack();
        state_.frames.clear();
    }

    Value run();

    bool failed() const { return failed_; }
    Ref<plat::Error> error() const {
        return JKErrorMake(message_, JKErrorPosition{errorIndex_, errorLine_});
    }

  private:
    // Records the first error of the parse at a byte position.
    void fail(const uint8_t* at, std::string message) {
        if (failed_)
            return;
        failed_ = true;
        message_ = std::move(message);
        errorIndex_ = static_cast<uint64_t>(at - begin_);
        errorLine_ = lineNumber_;
    }

    size_t newlineLength(const uint8_t* s) const;
    void skipWhitespace();
    bool nextToken(JKParseToken& token);
    bool parseString(JKParseToken& token);
    bool parseStringSlow(JKParseToken& token, const uint8_t* quote, const uint8_t* s);
    bool appendToken(size_t& at, const uint8_t* bytes, size_t n);
    bool parseNumber(JKParseToken& token);
    const plat::DocumentText& stringText(const uint8_t* bytes, size_t n, bool isKey,
                                         JKTokenCacheItem** slot);
    // The text from an opening bracket up to where the parse is.
    std::string_view textOf(const uint8_t* open) const {
        return {reinterpret_cast<const char*>(open), static_cast<size_t>(p_ - open)};
    }
    Value valueOf(const plat::DocumentText& text) const {
        return Value::inDocument(text, document_, true);
    }
    // The values of a container closing in a mutable parse hold their own references.
    void holdReferences(Value* values, size_t n) {
        for (size_t i = 0; i < n; ++i)
            values[i] = Value(static_cast<const Value&>(values[i]));
    }
    Value valueForToken(const JKParseToken& token);
    Value parseContainer(JKTokenType first);
    bool pushFrame(bool isDictionary, size_t start);
    bool ensureStack(size_t index, bool isDictionary);
    // Whether the tree with a stack of that many entries stays within the decoder's bound;
    // fails the parse when not.
    bool treeWithin(size_t stackEntries);
    void expectedItem(const JKFrame& frame, const JKParseToken& token);

    JKParseState& state_;
    JKDocument& document_;
    const JKParseOptionFlags options_;
    const uint8_t* const begin_;
    const uint8_t* const end_;
    const uint8_t* p_;
    const bool mutable_;
    // The document keeps the text: its objects are told where they and their values stand in it.
    const bool objectsKnowTheirText_;
    const uint8_t* completedOpen_ = nullptr;  // the opening bracket of the container just closed
    uint64_t lineNumber_ = 1;
    size_t highWater_ = 0;

    bool failed_ = false;
    std::string message_;
    uint64_t errorIndex_ = 0;
    uint64_t errorLine_ = 0;

    JKManagedBuffer tokenBuffer_;
    unsigned char frameBuffer_[kTokenBufferStart];
};

Value Parser::run() {
    Value result;
    if (p_ < end_) {
        JKParseToken token;
        if (nextToken(token)) {
            if (token.type != JKTokenTypeArrayBegin && token.type != JKTokenTypeObjectBegin) {
                fail(p_, "Expected either '[' or '{'.");
            } else {
                result = parseContainer(token.type);
            }
        }
    }
    if (result.isNil()) {
        if (p_ >= end_)
            fail(p_, "Reached the end of the buffer.");
        fail(p_, "Unable to parse JSON.");
        return Value();
    }
    if (p_ < end_)
        skipWhitespace();
    if ((options_ & JKParseAllowTrailingText) || p_ >= end_)
        return result;
    fail(p_,
         "A valid JSON object was parsed but there were additional non-white-space characters "
         "remaining.");
    return Value();
}

// ---- White space and tokens ---------------------------------------------------------------------

size_t Parser::newlineLength(const uint8_t* s) const {
    const uint8_t c = *s;
    if (c == '\n')
        return 1;
    if (c == '\r')
        return s + 1 < end_ && s[1] == '\n' ? 2 : 1;
    if (options_ & JKParseUnicodeLineBreaks) {
        if (c == 0xC2 && s + 1 < end_ && s[1] == 0x85)
            return 2;
        if (c == 0xE2 && s + 2 < end_ && s[1] == 0x80 && (s[2] == 0xA8 || s[2] == 0xA9))
            return 3;
    }
    return 0;
}

void Parser::skipWhitespace() {
    while (p_ < end_) {
        const uint8_t c = *p_;
        if (c == ' ' || c == '\t') {
            ++p_;
            continue;
        }
        if (const size_t n = newlineLength(p_)) {
            p_ += n;
            ++lineNumber_;
            continue;
        }
        if (c == '/' && (options_ & JKParseAllowComments) && p_ + 1 < end_) {
            if (p_[1] == '/') {
                const uint8_t* s = p_ + 2;
                while (s < end_) {
                    if (const size_t n = newlineLength(s)) {
                        s += n;
                        ++lineNumber_;
                        break;
                    }
                    ++s;
                }
                p_ = s;
                continue;
            }
            if (p_[1] == '*') {
                // The closing pair is searched from the star of the opening pair: "/*/" is a
                // whole comment.
                const uint8_t* s = p_ + 1;
                const uint8_t* after = end_;
                while (s < end_) {
                    if (*s == '*' && s + 1 < end_ && s[1] == '/') {
                        after = s + 2;
                        break;
                    }
                    if (const size_t n = newlineLength(s)) {
                        s += n;
                        ++lineNumber_;
                    } else {
                        ++s;
                    }
                }
                p_ = after;
                continue;
            }
        }
        return;
    }
}

bool Parser::nextToken(JKParseToken& token) {
    // Tokens mostly follow each other without white space: only a byte that may begin white
    // space or a comment needs the full skip.
    if (p_ >= end_ || *p_ <= ' ' || *p_ == '/' || *p_ >= 0x80)
        skipWhitespace();
    if (p_ >= end_) {
        fail(p_, kUnexpectedToken);
        return false;
    }
    const uint8_t* s = p_;
    token.text = s;
    token.textLength = 1;
    const ptrdiff_t left = end_ - s;
    switch (*s) {
        case '"':
            token.type = JKTokenTypeString;
            return parseString(token);
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            token.type = JKTokenTypeNumber;
            return parseNumber(token);
        case '{':
            token.type = JKTokenTypeObjectBegin;
            break;
        case '}':
            token.type = JKTokenTypeObjectEnd;
            break;
        case '[':
            token.type = JKTokenTypeArrayBegin;
            break;
        case ']':
            token.type = JKTokenTypeArrayEnd;
            break;
        case ':':
            token.type = JKTokenTypeSeparator;
            break;
        case ',':
            token.type = JKTokenTypeComma;
            break;
        // A literal counts only when at least one more byte follows it.
        case 't':
            if (left > 4 && s[1] == 'r' && s[2] == 'u' && s[3] == 'e') {
                token.type = JKTokenTypeTrue;
                token.textLength = 4;
                break;
            }
            fail(s, kUnexpectedToken);
            return false;
        case 'n':
            if (left > 4 && s[1] == 'u' && s[2] == 'l' && s[3] == 'l') {
                token.type = JKTokenTypeNull;
                token.textLength = 4;
                break;
            }
            fail(s, kUnexpectedToken);
            return false;
        case 'f':
            if (left > 5 && s[1] == 'a' && s[2] == 'l' && s[3] == 's' && s[4] == 'e') {
                token.type = JKTokenTypeFalse;
                token.textLength = 5;
                break;
            }
            fail(s, kUnexpectedToken);
            return false;
        default:
            fail(s, kUnexpectedToken);
            return false;
    }
    p_ = s + token.textLength;
    return true;
}

// ---- Strings ------------------------------------------------------------------------------------

bool Parser::parseString(JKParseToken& token) {
    const uint8_t* const quote = p_;
    const uint8_t* s = quote + 1;
    for (;;) {
        s = jk_skipPlainStringBytes(s, end_);
        if (s >= end_) {
            fail(quote, "Invalid string.");
            return false;
        }
        const uint8_t c = *s;
        if (c == '"')
            break;
        if (c >= 0x80) {
            // A run of multi-byte characters (Thai text is nothing else).
            s = jk_skipAllowedSequences(s, end_);
            if (s < end_ && *s >= 0x80)
                return parseStringSlow(token, quote, s);
            continue;
        }
        if (c == '\\')
            return parseStringSlow(token, quote, s);
        fail(quote, plat::format("Invalid character < 0x20 found in string: 0x%2.2x.", c));
        return false;
    }
    // Neither escapes nor bad UTF-8: the value is the bytes between the quotes.
    token.value = quote + 1;
    token.valueLength = static_cast<size_t>(s - quote - 1);
    token.textLength = static_cast<size_t>(s + 1 - quote);
    p_ = s + 1;
    return true;
}

bool Parser::appendToken(size_t& at, const uint8_t* bytes, size_t n) {
    if (at + n + 16 > tokenBuffer_.bytes.length) {
        if (!jk_managedBuffer_resize(tokenBuffer_, at + n + 1024)) {
            fail(p_, plat::format("Internal error: Unable to resize temporary buffer. %s line #%ld",
                                  kSourceFile, static_cast<long>(__LINE__)));
            return false;
        }
    }
    std::memcpy(tokenBuffer_.bytes.ptr + at, bytes, n);
    at += n;
    return true;
}

// The careful scan: escapes, and UTF-8 that the fast scan did not accept. `s` is the byte that
// ended the fast scan; everything before it is copied to the token buffer first.
bool Parser::parseStringSlow(JKParseToken& token, const uint8_t* quote, const uint8_t* s) {
    const bool replace = options_ & JKParseReplaceInvalidUnicode;
    static constexpr uint8_t kReplacement[3] = {0xEF, 0xBF, 0xBD};
    size_t at = 0;
    auto failString = [&](std::string message) {
        fail(quote, std::move(message));
        fail(quote, "Invalid string.");
        return false;
    };
    auto appendCodePoint = [&](uint32_t cp) {
        uint8_t utf8[4];
        const size_t n = ConvertUTF32toUTF8(cp, utf8);
        return appendToken(at, utf8, n);
    };
    // Reads four hex digits at s into unit; false after recording the failure.
    auto readHex = [&](uint32_t& unit) {
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            if (s >= end_)
                return failString("Invalid string.");
            const int v = plat::hexDigitValue(*s);
            if (v < 0) {
                return failString(plat::format(
                    "Unexpected character found in \\u Unicode escape sequence.  Found '%c', "
                    "expected [0-9a-fA-F].",
                    *s));
            }
            unit = unit << 4 | static_cast<uint32_t>(v);
            ++s;
        }
        return true;
    };

    if (!appendToken(at, quote + 1, static_cast<size_t>(s - quote - 1)))
        return false;

    while (s < end_) {
        // Text that needs no decoding is copied a whole run at a time.
        if (const uint8_t* run = s; (s = jk_skipVerbatimStringBytes(s, end_)) != run) {
            if (!appendToken(at, run, static_cast<size_t>(s - run)))
                return false;
            if (s >= end_)
                break;
        }
        const uint8_t c = *s;
        if (c < 0x80) {
            if (c == '"') {
                token.value = tokenBuffer_.bytes.ptr;
                token.valueLength = at;
                token.textLength = static_cast<size_t>(s + 1 - quote);
                p_ = s + 1;
                return true;
            }
            if (c < 0x20) {
                return failString(
                    plat::format("Invalid character < 0x20 found in string: 0x%2.2x.", c));
            }
            // A backslash.
            if (++s >= end_)
                break;
            uint8_t decoded;
            switch (*s) {
                case '"':
                    decoded = 0x22;
                    break;
                case '\\':
                    decoded = 0x5C;
                    break;
                case '/':
                    decoded = 0x2F;
                    break;
                case 'b':
                    decoded = 0x08;
                    break;
                case 'f':
                    decoded = 0x0C;
                    break;
                case 'n':
                    decoded = 0x0A;
                    break;
                case 'r':
                    decoded = 0x0D;
                    break;
                case 't':
                    decoded = 0x09;
                    break;
                case 'u': {
                    ++s;
                    uint32_t unit;
                    if (!readHex(unit))
                        return false;
                    for (;;) {
                        if (unit >= 0xDC00 && unit <= 0xDFFF) {
                            if (!replace)
                                return failString("Illegal \\u Unicode escape sequence.");
                            unit = JKReplacementCharacter;
                        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
                            // A high surrogate wants "\u" and a low surrogate next.
                            if (s >= end_ || (s + 1 >= end_ && *s == '\\')) {
                                return failString("Invalid string.");
                            }
                            if (*s != '\\' || s[1] != 'u') {
                                if (!replace) {
                                    return failString(
                                        "Required a second \\u Unicode escape sequence following "
                                        "a surrogate \\u Unicode escape sequence.");
                                }
                                unit = JKReplacementCharacter;  // resume at this byte
                            } else {
                                s += 2;
                                uint32_t low;
                                if (!readHex(low))
                                    return false;
                                if (low >= 0xDC00 && low <= 0xDFFF) {
                                    unit = ((unit - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
                                } else {
                                    if (!replace) {
                                        return failString("Illegal \\u Unicode escape sequence.");
                                    }
                                    // The lone high surrogate is replaced; the second unit
                                    // stands on its own.
                                    if (!appendCodePoint(JKReplacementCharacter))
                                        return false;
                                    unit = low;
                                    continue;
                                }
                            }
                        }
                        break;
                    }
                    if (jk_isForbiddenCodePoint(unit)) {
                        if (!replace)
                            return failString("Illegal \\u Unicode escape sequence.");
                        unit = JKReplacementCharacter;
                    }
                    if (!appendCodePoint(unit))
                        return false;
                    continue;
                }
                default:
                    return failString("Invalid escape sequence found in \"\" string.");
            }
            ++s;
            if (!appendToken(at, &decoded, 1))
                return false;
            continue;
        }
        const uint8_t* next;
        uint32_t cp;
        switch (ConvertSingleCodePointInUTF8(s, end_, &next, &cp)) {
            case conversionOK:
                if (!appendToken(at, s, static_cast<size_t>(next - s)))
                    return false;
                break;
            case sourceExhausted:
                return failString("End of buffer reached while parsing UTF8 in \"\" string.");
            default:
                if (!replace)
                    return failString("Illegal UTF8 sequence found in \"\" string.");
                if (!appendToken(at, kReplacement, sizeof kReplacement))
                    return false;
        }
        s = next;
    }
    return failString("Invalid string.");
}

// ---- Numbers ------------------------------------------------------------------------------------

bool Parser::parseNumber(JKParseToken& token) {
    const uint8_t* const start = p_;
    const uint8_t* s = start;
    bool negative = false, floating = false;
    auto isDigit = [](uint8_t c) { return c >= '0' && c <= '9'; };
    // A number must be finished by a byte that is not part of it; the end of the input is not.
    auto invalid = [&](const uint8_t* at) {
        fail(at, "Invalid number.");
        return false;
    };

    if (*s == '-') {
        negative = true;
        if (++s >= end_)
            return invalid(s);
    }
    if (*s == '0') {
        ++s;
    } else if (isDigit(*s)) {
        while (++s < end_ && isDigit(*s)) {
        }
    } else {
        return invalid(s);
    }
    if (s >= end_)
        return invalid(s);
    if (*s == '.') {
        floating = true;
        if (++s >= end_ || !isDigit(*s))
            return invalid(s);
        while (++s < end_ && isDigit(*s)) {
        }
        if (s >= end_)
            return invalid(s);
    }
    if (*s == 'e' || *s == 'E') {
        floating = true;
        if (++s >= end_)
            return invalid(s);
        if (*s == '+' || *s == '-') {
            if (++s >= end_)
                return invalid(s);
        }
        if (!isDigit(*s))
            return invalid(s);
        while (++s < end_ && isDigit(*s)) {
        }
        if (s >= end_)
            return invalid(s);
    }

    token.textLength = static_cast<size_t>(s - start);
    p_ = s;
    const char* first = reinterpret_cast<const char*>(start);
    const char* last = reinterpret_cast<const char*>(s);
    auto text = [&] { return std::string(first, last); };
    if (token.textLength == 2 && negative && start[1] == '0')
        floating = true;  // "-0"

    std::from_chars_result r;
    if (floating) {
        double d = 0;
        r = std::from_chars(first, last, d);
        if (r.ec == std::errc::result_out_of_range) {
            // strtod tells an underflow (0) from an overflow (infinity).
            const std::string t = text();
            const double converted = std::strtod(t.c_str(), nullptr);
            fail(p_,
                 plat::format("The value '%s' could not be represented as a 'double' due to %s.",
                              t.c_str(), converted == 0 ? "underflow" : "overflow"));
            return invalid(p_);
        }
        token.number = Number::fromDouble(d, 'd');
    } else if (negative) {
        int64_t v = 0;
        r = std::from_chars(first, last, v);
        if (r.ec == std::errc::result_out_of_range) {
            fail(p_, plat::format("The value '%s' exceeded the minimum value that could be "
                                  "represented: %lld.",
                                  text().c_str(), static_cast<long long>(INT64_MIN)));
            return invalid(p_);
        }
        token.number = Number::fromInt64(v, 'q');
    } else {
        uint64_t v = 0;
        r = std::from_chars(first, last, v);
        if (r.ec == std::errc::result_out_of_range) {
            fail(p_, plat::format("The value '%s' exceeded the maximum value that could be "
                                  "represented: %llu.",
                                  text().c_str(), static_cast<unsigned long long>(UINT64_MAX)));
            return invalid(p_);
        }
        token.number = v <= static_cast<uint64_t>(INT64_MAX)
                           ? Number::fromInt64(static_cast<int64_t>(v), 'q')
                           : Number::fromUInt64(v, 'Q');
    }
    if (r.ec != std::errc() || r.ptr != last) {
        fail(p_, "The conversion function did not consume all of the number tokens characters.");
        return invalid(p_);
    }
    return true;
}

// ---- Values -------------------------------------------------------------------------------------

// A string's text through the token cache: equal strings of one decoder share one text.
const plat::DocumentText& Parser::stringText(const uint8_t* bytes, size_t n, bool isKey,
                                             JKTokenCacheItem** slot) {
    *slot = nullptr;
    if (n == 0)
        return emptyText();
    if (!isKey && n > kCachedValueBytes)
        return document_.makeText(reinterpret_cast<const char*>(bytes), n);
    JKTokenCache& cache = state_.cache;
    const uint64_t hash = jk_stringHash(bytes, n);
    const size_t first = hash & (kTokenCacheSize - 1);
    // The slot that a new string takes: an empty one, else the first probed; the many strings
    // of values that never repeat replace only each other, never a key.
    constexpr size_t kNone = kTokenCacheSize;
    size_t chosen = isKey ? first : kNone;
    for (size_t i = 0; i < 4; ++i) {
        const size_t index =
            i == 0 ? first : (hash + n * i + kValueTypeString * i + 3 * i) & (kTokenCacheSize - 1);
        JKTokenCacheItem* item = cache.find(index);
        if (!item) {
            chosen = index;
            break;
        }
        if (chosen == kNone && !item->key)
            chosen = index;
        if (item->holds(hash, bytes, n)) {
            item->key |= isKey;
            if (item->generation != state_.generation) {
                // A string of an earlier parse's document: this document keeps that one.
                auto& earlier = state_.cachedDocuments.at(item->generation);
                if (earlier.keptBy != state_.generation) {
                    document_.keep(earlier.document);
                    earlier.keptBy = state_.generation;
                }
            }
            *slot = item;
            return *item->text;
        }
    }
    if (chosen == kNone)
        return document_.makeText(reinterpret_cast<const char*>(bytes), n);
    JKTokenCacheItem* item = cache.take(chosen);
    state_.releaseSlot(*item);
    item->key = isKey;
    item->text = &document_.makeText(reinterpret_cast<const char*>(bytes), n);
    item->document = &document_;
    item->generation = state_.generation;
    ++state_.currentSlots;
    item->hash = hash;
    item->keyHash = 0;
    item->size = n;
    item->type = kValueTypeString;
    if (n <= kCachedBytes)
        std::memcpy(item->bytes, bytes, n);
    *slot = item;
    return *item->text;
}

Value Parser::valueForToken(const JKParseToken& token) {
    switch (token.type) {
        case JKTokenTypeString: {
            JKTokenCacheItem* slot;
            return valueOf(stringText(token.value, token.valueLength, false, &slot));
        }
        case JKTokenTypeNumber:
            return Value(token.number);
        case JKTokenTypeTrue:
            return Value::boolean(true);
        case JKTokenTypeFalse:
            return Value::boolean(false);
        case JKTokenTypeNull:
            return Value::null();
        default:
            return Value();
    }
}

// ---- Arrays and objects -------------------------------------------------------------------------

bool Parser::treeWithin(size_t stackEntries) {
    // The tree is what the document holds plus the pending entries of the open containers.
    constexpr size_t kEntryBytes = 2 * sizeof(Value) + sizeof(const plat::DocumentText*) +
                                   sizeof(size_t) + sizeof(std::pair<size_t, size_t>);
    const size_t limit = state_.maxTreeBytes;
    const size_t held = document_.allocatedBytes();
    if (held <= limit && stackEntries <= (limit - held) / kEntryBytes)
        return true;
    state_.exceededTreeBytes = true;
    fail(p_, plat::format("The decoded value would take more than %zu bytes.", limit));
    return false;
}

bool Parser::ensureStack(size_t index, bool isDictionary) {
    if (index + 1 > highWater_)
        highWater_ = index + 1;
    const size_t capacity = state_.objects.size();
    if (state_.maxTreeBytes != 0 && !treeWithin(capacity)) [[unlikely]]
        return false;
    if (index + 4 <= capacity)
        return true;
    // Grow by at least 2048 entries, and geometrically for very wide containers.
    size_t wanted = (capacity + 128 + 2047) / 2048 * 2048;
    if (wanted < capacity * 2)
        wanted = capacity * 2;
    if (state_.maxTreeBytes != 0 && !treeWithin(wanted))
        return false;
    try {
        state_.objects.resize(wanted);
        state_.keys.resize(wanted);
        state_.keyTexts.resize(wanted);
        state_.keyHashes.resize(wanted);
        state_.valueTexts.resize(wanted);
    } catch (const std::bad_alloc&) {
        if (isDictionary) {
            fail(p_, plat::format("Internal error: [dictionary] objectsIndex > %zu, resize failed? "
                                  "%s line #%ld",
                                  capacity - 4, kSourceFile, static_cast<long>(__LINE__)));
        } else {
            fail(p_, plat::format("Internal error: [array] objectsIndex > %zu, resize failed? %s "
                                  "line %ld",
                                  capacity - 4, kSourceFile, static_cast<long>(__LINE__)));
        }
        return false;
    }
    return true;
}

bool Parser::pushFrame(bool isDictionary, size_t start) {
    if (state_.frames.size() >= JKMaximumNestingDepth) {
        fail(p_, plat::format("Exceeded the maximum nesting depth of %zu.", JKMaximumNestingDepth));
        return false;
    }
    JKFrame frame;
    frame.isDictionary = isDictionary;
    frame.start = frame.cursor = start;
    frame.open = p_ - 1;  // the bracket is the token just read
    state_.frames.push_back(frame);
    return true;
}

void Parser::expectedItem(const JKFrame& frame, const JKParseToken& token) {
    static constexpr const char* arrayItems[3] = {"a value", "a comma", "a ']'"};
    static constexpr const char* objectItems[3] = {"a \"STRING\"", "a comma", "a '}'"};
    const char* const* items = frame.isDictionary ? objectItems : arrayItems;
    std::vector<const char*> named;
    for (int bit = 0; bit < 3; ++bit) {
        if (frame.state & (1 << bit))
            named.push_back(items[bit]);
    }
    std::string message = "Expected ";
    for (size_t i = 0; i < named.size(); ++i) {
        if (i)
            message += " or ";
        message += named[i];
    }
    message += ", not '";
    message.append(reinterpret_cast<const char*>(token.text), token.textLength);
    message += "'";
    fail(p_, std::move(message));
}

Value Parser::parseContainer(JKTokenType first) {
    auto& frames = state_.frames;
    auto& objects = state_.objects;
    auto& keys = state_.keys;
    auto& keyTexts = state_.keyTexts;
    auto& keyHashes = state_.keyHashes;
    frames.clear();
    if (!pushFrame(first == JKTokenTypeObjectBegin, 0))
        return Value();

    Value completed;  // a container that just closed, to be stored in its parent
    JKParseToken token;
    for (;;) {
        JKFrame* frame = &frames.back();
        if (!completed.isNil()) {
            if (objectsKnowTheirText_ && frame->isDictionary) {
                state_.valueTexts[frame->cursor] = {static_cast<size_t>(completedOpen_ - begin_),
                                                    static_cast<size_t>(p_ - completedOpen_)};
            }
            place(objects[frame->cursor++], std::move(completed));
            frame->state = kMayComma | kMayEnd;
            frame->awaitingValue = false;
        }
        // The container has ended or its input has run out: no message of its own here.
        if (p_ >= end_)
            return Value();
        if (!ensureStack(frame->cursor, frame->isDictionary))
            return Value();
        // A comma straight after the previous token, the usual case, needs no full token read.
        if (*p_ == ',') {
            token.type = JKTokenTypeComma;
            token.text = p_++;
            token.textLength = 1;
            if (!(frame->state & kMayComma)) {
                fail(p_, "Unexpected ','.");
                return Value();
            }
            frame->state = kMayValue;
            continue;
        }
        if (!nextToken(token))
            return Value();

        if (!frame->isDictionary) {
            switch (token.type) {
                case JKTokenTypeString:
                case JKTokenTypeNumber:
                case JKTokenTypeTrue:
                case JKTokenTypeFalse:
                case JKTokenTypeNull:
                    if (!(frame->state & kMayValue)) {
                        fail(p_, "Unexpected value.");
                        return Value();
                    }
                    place(objects[frame->cursor++], valueForToken(token));
                    frame->state = kMayComma | kMayEnd;
                    continue;
                case JKTokenTypeArrayBegin:
                case JKTokenTypeObjectBegin:
                    if (!(frame->state & kMayValue)) {
                        fail(p_, "Unexpected value.");
                        return Value();
                    }
                    if (!pushFrame(token.type == JKTokenTypeObjectBegin, frame->cursor)) {
                        return Value();
                    }
                    continue;
                case JKTokenTypeArrayEnd: {
                    if (!(frame->state & kMayEnd)) {
                        fail(p_, "Unexpected ']'.");
                        return Value();
                    }
                    const size_t start = frame->start, n = frame->cursor - start;
                    if (mutable_) {
                        holdReferences(objects.data() + start, n);
                        completed = Value(Ref<plat::Array>(
                            JKArray::_JKArrayCreate(objects.data() + start, n, true)));
                    } else {
                        completed = Value::inDocument(
                            JKArray::_JKArrayCreateInDocument(document_, objects.data() + start, n),
                            document_);
                    }
                    completedOpen_ = frame->open;
                    frames.pop_back();
                    if (frames.empty())
                        return completed;
                    continue;
                }
                case JKTokenTypeComma:
                    if (!(frame->state & kMayComma)) {
                        fail(p_, "Unexpected ','.");
                        return Value();
                    }
                    frame->state = kMayValue;
                    continue;
                default:
                    expectedItem(*frame, token);
                    return Value();
            }
        }

        // An object: a member is a key, a colon and a value.
        switch (token.type) {
            case JKTokenTypeComma:
                if (!(frame->state & kMayComma)) {
                    fail(p_, "Unexpected ','.");
                    return Value();
                }
                frame->state = kMayValue;
                continue;
            case JKTokenTypeObjectEnd: {
                if (!(frame->state & kMayEnd)) {
                    fail(p_, "Unexpected '}'.");
                    return Value();
                }
                const size_t start = frame->start, n = frame->cursor - start;
                if (mutable_) {
                    holdReferences(keys.data() + start, n);
                    holdReferences(objects.data() + start, n);
                    auto dictionary = JKDictionary::_JKDictionaryCreate(
                        keys.data() + start, keyHashes.data() + start, objects.data() + start, n,
                        true);
                    completed = Value(Ref<plat::Dictionary>(std::move(dictionary)));
                } else {
                    if (objectsKnowTheirText_) {
                        // The values' places, from the whole text's start to the object's.
                        const size_t open = static_cast<size_t>(frame->open - begin_);
                        for (size_t i = start; i < start + n; ++i)
                            state_.valueTexts[i].first -= open;
                    }
                    if (const JKDictionary* dictionary =
                            JKDictionary::_JKDictionaryCreateInDocument(
                                document_, keyTexts.data() + start, keyHashes.data() + start,
                                objects.data() + start, n,
                                objectsKnowTheirText_ ? textOf(frame->open) : std::string_view(),
                                objectsKnowTheirText_ ? state_.valueTexts.data() + start : nullptr))
                        completed = Value::inDocument(*dictionary, document_);
                }
                if (completed.isNil()) {
                    fail(p_, "Internal error: Object == NULL.");
                    return Value();
                }
                completedOpen_ = frame->open;
                frames.pop_back();
                if (frames.empty())
                    return completed;
                continue;
            }
            case JKTokenTypeString: {
                if (!(frame->state & kMayValue)) {
                    fail(p_, "Unexpected string.");
                    return Value();
                }
                JKTokenCacheItem* slot;
                const plat::DocumentText& key =
                    stringText(token.value, token.valueLength, true, &slot);
                size_t keyHash;
                if (slot) {
                    if (slot->keyHash == 0)
                        slot->keyHash = std::hash<std::string_view>()(key.view());
                    keyHash = slot->keyHash;
                } else {
                    keyHash = std::hash<std::string_view>()(key.view());
                }
                if (mutable_)
                    place(keys[frame->cursor], valueOf(key));
                else
                    keyTexts[frame->cursor] = &key;
                keyHashes[frame->cursor] = keyHash;
                break;
            }
            default:
                expectedItem(*frame, token);
                return Value();
        }

        if (p_ < end_ && *p_ == ':') {
            ++p_;
        } else {
            if (!nextToken(token))
                return Value();
            if (token.type != JKTokenTypeSeparator) {
                fail(p_, "Expected ':'.");
                return Value();
            }
        }
        if (!nextToken(token))
            return Value();
        switch (token.type) {
            case JKTokenTypeString:
            case JKTokenTypeNumber:
            case JKTokenTypeTrue:
            case JKTokenTypeFalse:
            case JKTokenTypeNull:
                if (objectsKnowTheirText_) {
                    state_.valueTexts[frame->cursor] = {static_cast<size_t>(token.text - begin_),
                                                        token.textLength};
                }
                place(objects[frame->cursor++], valueForToken(token));
                frame->state = kMayComma | kMayEnd;
                continue;
            case JKTokenTypeArrayBegin:
            case JKTokenTypeObjectBegin:
                frame->awaitingValue = true;
                if (!pushFrame(token.type == JKTokenTypeObjectBegin, frame->cursor + 1)) {
                    return Value();
                }
                continue;
            default: {
                JKFrame valueOnly = *frame;
                valueOnly.isDictionary = false;
                valueOnly.state = kMayValue;
                expectedItem(valueOnly, token);
                return Value();
            }
        }
    }
}

}  // namespace

// ---- JSONDecoder --------------------------------------------------------------------------------

JSONDecoder::JSONDecoder() : JSONDecoder(0) {}

JSONDecoder::JSONDecoder(JKParseOptionFlags parseOptionFlags) {
    if (parseOptionFlags > 15)
        plat::raise(plat::NSInvalidArgumentException, "Invalid parse options.");
    parseState_ = std::make_unique<JKParseState>(parseOptionFlags);
}

JSONDecoder::~JSONDecoder() = default;

Ref<JSONDecoder> JSONDecoder::decoder() {
    return std::make_shared<JSONDecoder>();
}

Ref<JSONDecoder> JSONDecoder::decoderWithParseOptions(JKParseOptionFlags parseOptionFlags) {
    return std::make_shared<JSONDecoder>(parseOptionFlags);
}

JKParseOptionFlags JSONDecoder::parseOptionFlags() const {
    return parseState_ ? parseState_->options : 0;
}

void JSONDecoder::setMaximumTreeBytes(size_t bytes) {
    if (parseState_)
        parseState_->maxTreeBytes = bytes;
}

bool JSONDecoder::exceededMaximumTreeBytes() const {
    return parseState_ && parseState_->exceededTreeBytes;
}

void JSONDecoder::clearCache() {
    if (!parseState_)
        return;
    parseState_->clearCache();
}

void JKParseState::finishParse(const Ref<JKDocument>& document, bool succeeded) {
    if (currentSlots > 0 && succeeded) {
        cachedDocuments[generation] = CachedDocument{document, currentSlots, 0};
    } else if (currentSlots > 0) {
        for (size_t i = 0; i < kTokenCacheSize; ++i) {
            JKTokenCacheItem* item = cache.find(i);
            if (item && item->text && item->generation == generation)
                *item = JKTokenCacheItem{};
        }
    }
    currentSlots = 0;
    ++generation;
}

void JSONDecoder::releaseState() {
    parseState_.reset();
}

Value JSONDecoder::parse(const unsigned char* bytes, size_t length, bool mutableCollections,
                         Ref<plat::Error>* error, plat::Bytes* keptText) {
    if (!parseState_)
        plat::raise(plat::NSInternalInconsistencyException, "parseState is NULL.");
    if (!bytes)
        plat::raise(plat::NSInvalidArgumentException, "The string argument is NULL.");
    // Everything the parse makes lives in its document; the result holds the document. Trees
    // of replies take about twice their text.
    const auto document = std::make_shared<JKDocument>(
        parseState_->maxTreeBytes ? std::min(2 * length, parseState_->maxTreeBytes) : 2 * length);
    parseState_->exceededTreeBytes = false;
    if (keptText)
        document->keepText(std::move(*keptText));  // the bytes stay where they are
    Value result;
    bool failed = true;
    Ref<plat::Error> failure;
    try {
        // Objects learn their texts only where the text reads as it is parsed: without comments,
        // line breaks of other kinds or replaced bytes.
        constexpr JKParseOptionFlags kReadAlike =
            JKParseAllowComments | JKParseUnicodeLineBreaks | JKParseReplaceInvalidUnicode;
        Parser parser(*parseState_, *document, bytes, length, mutableCollections,
                      keptText != nullptr && (parseState_->options & kReadAlike) == 0);
        const Value value = parser.run();
        failed = parser.failed();
        if (failed)
            failure = parser.error();
        else
            result = value;  // a counted copy
    } catch (const std::bad_alloc&) {
        parseState_->finishParse(document, false);
        if (error) {
            *error = JKErrorMake(
                plat::format("Internal error: Unable to allocate memory. %s", kSourceFile));
        }
        return Value();
    }
    parseState_->finishParse(document, !failed);
    if (failed && error)
        *error = failure;
    return result;
}

Value JSONDecoder::objectWithUTF8String(const char* string, size_t length,
                                        Ref<plat::Error>* error) {
    return parse(reinterpret_cast<const unsigned char*>(string), length, false, error);
}

Value JSONDecoder::objectWithData(const plat::Bytes& jsonData, Ref<plat::Error>* error) {
    static const unsigned char empty = 0;
    return parse(jsonData.empty() ? &empty : jsonData.data(), jsonData.size(), false, error);
}

Value JSONDecoder::objectKeepingText(plat::Bytes text, Ref<plat::Error>* error) {
    static const unsigned char empty = 0;
    const unsigned char* bytes = text.empty() ? &empty : text.data();
    const size_t length = text.size();
    return parse(bytes, length, false, error, &text);
}

Value JSONDecoder::mutableObjectWithUTF8String(const char* string, size_t length,
                                               Ref<plat::Error>* error) {
    return parse(reinterpret_cast<const unsigned char*>(string), length, true, error);
}

Value JSONDecoder::mutableObjectWithData(const plat::Bytes& jsonData, Ref<plat::Error>* error) {
    static const unsigned char empty = 0;
    return parse(jsonData.empty() ? &empty : jsonData.data(), jsonData.size(), true, error);
}
