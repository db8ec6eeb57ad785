#include "vnlib/dev/kxjson/KxJsonTokeniser.h"

#include "platform/core/HexDigit.h"

#include <cstdint>
#include <string_view>

#include "platform/core/Log.h"

namespace {

constexpr size_t kMaxDigits = 38;   // more digits than a decimal number holds
constexpr int kMinExponent = -128;  // the decimal exponent range
constexpr int kMaxExponent = 127;
constexpr long kExponentCap = 1000000;  // exponent digits saturate here, far outside the range

bool isDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// Four hexadecimal digits of either case; false when any is not one.
bool readHexQuad(const uint8_t* p, uint32_t* value) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
        const int h = plat::hexDigitValue(p[k]);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(h);
    }
    *value = v;
    return true;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool isValidUTF8(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
        const uint8_t c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        uint32_t least;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1Fu, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0Fu, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07u, least = 0x10000;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3Fu);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

void appendUTF8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A byte as a character of an error text: ASCII as it is, other bytes as their Latin-1
// character, so that the text stays valid UTF-8.
std::string byteAsText(uint8_t c) {
    std::string text;
    appendUTF8(text, c);
    return text;
}

// A decimal number from the digits of a number's text (integer and fraction digits together)
// and its power of ten, without leading or trailing zeros in the mantissa.
plat::Decimal makeDecimal(bool negative, std::string_view digits, long exponent) {
    while (!digits.empty() && digits.front() == '0')
        digits.remove_prefix(1);
    while (!digits.empty() && digits.back() == '0') {
        digits.remove_suffix(1);
        ++exponent;
    }
    plat::Decimal decimal;
    if (digits.empty()) {
        decimal.digits = "0";
        return decimal;
    }
    decimal.negative = negative;
    decimal.digits = std::string(digits);
    decimal.exponent = static_cast<int>(exponent);
    return decimal;
}

// Where the bytes [from, len) stop holding whole UTF-8 characters: len, or the start of a
// character that more bytes will complete.
size_t completeCharactersEnd(const uint8_t* p, size_t from, size_t len) {
    size_t lead = len;
    while (lead > from && len - lead < 3 && (p[lead - 1] & 0xC0) == 0x80)
        --lead;
    if (lead == from)
        return len;
    const uint8_t c = p[lead - 1];
    const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return need > len - (lead - 1) ? lead - 1 : len;
}

}  // namespace

const char* KxJsonTokenName(KxJsonTokenType type) {
    switch (type) {
        case KxJsonTokenTypeArrayStart:
            return "start of array";
        case KxJsonTokenTypeArrayEnd:
            return "end of array";
        case KxJsonTokenTypeObjectStart:
            return "start of object";
        case KxJsonTokenTypeObjectEnd:
            return "end of object";
        case KxJsonTokenTypeValueSeparator:
            return "value separator";
        case KxJsonTokenTypeKeyValueSeparator:
            return "key-value separator";
        case KxJsonTokenTypeNumber:
            return "number";
        case KxJsonTokenTypeString:
            return "string";
        case KxJsonTokenTypeTrue:
        case KxJsonTokenTypeFalse:
            return "boolean";
        case KxJsonTokenTypeNull:
            return "null";
        default:
            return "";
    }
}

KxJsonTokenType KxJsonTokeniser::fail(std::string text) {
    error_ = std::move(text);
    return KxJsonTokenTypeError;
}

KxJsonTokenType KxJsonTokeniser::getToken(plat::Value* token) {
    if (inString_)
        return getStringToken(token);
    stream_.skipWhitespace();
    uint8_t c;
    if (!stream_.getCurrentByte(&c))
        return KxJsonTokenTypeEOF;
    const size_t start = stream_.index();

    KxJsonTokenType type;
    auto single = [&](KxJsonTokenType t) {
        stream_.setIndex(start + 1);
        return t;
    };
    switch (c) {
        case '[':
            type = single(KxJsonTokenTypeArrayStart);
            break;
        case ']':
            type = single(KxJsonTokenTypeArrayEnd);
            break;
        case '{':
            type = single(KxJsonTokenTypeObjectStart);
            break;
        case '}':
            type = single(KxJsonTokenTypeObjectEnd);
            break;
        case ',':
            type = single(KxJsonTokenTypeValueSeparator);
            break;
        case ':':
            type = single(KxJsonTokenTypeKeyValueSeparator);
            break;
        case 'n':
            type = matchWord("null", KxJsonTokenTypeNull);
            break;
        case 't':
            type = matchWord("true", KxJsonTokenTypeTrue);
            break;
        case 'f':
            type = matchWord("false", KxJsonTokenTypeFalse);
            break;
        case '"':
            type = getStringToken(token);
            break;
        case '+':
            type = fail("Leading + is illegal in number");
            break;
        default:
            if (c == '-' || isDigit(c))
                type = getNumberToken(token);
            else
                type = fail("Illegal start of token [" + byteAsText(c) + "]");
            break;
    }
    if (type == KxJsonTokenTypeEOF && !inString_)
        stream_.setIndex(start);
    return type;
}

KxJsonTokenType KxJsonTokeniser::matchWord(const char* word, KxJsonTokenType type) {
    const std::string_view w(word);
    if (stream_.remaining() < w.size())
        return KxJsonTokenTypeEOF;
    if (!stream_.skipWord(w))
        return fail(plat::format("Expected '%s' after initial '%.1s'", word, word));
    return type;
}

KxJsonTokenType KxJsonTokeniser::getStringToken(plat::Value* token) {
    const uint8_t* p = stream_.bytes();
    const size_t len = stream_.length();
    size_t i = stream_.index();
    if (!inString_) {
        ++i;  // past the opening quote
        pendingString_.clear();
    }
    // A string cut off by the end of the bytes keeps what it has decoded, and the scan goes on
    // from the first byte it could not use once more bytes arrive: reading in pieces costs no
    // more than reading at once.
    std::string& built = pendingString_;
    auto suspend = [&](size_t at) {
        inString_ = true;
        stream_.setIndex(at);
        return KxJsonTokenTypeEOF;
    };

    for (;;) {
        const size_t runStart = i;
        while (i < len && p[i] >= 0x20 && p[i] != '"' && p[i] != '\\')
            ++i;
        const size_t runEnd = i < len ? i : completeCharactersEnd(p, runStart, len);
        if (!isValidUTF8(p + runStart, runEnd - runStart))
            return fail("Broken Unicode encoding");
        built.append(reinterpret_cast<const char*>(p + runStart), runEnd - runStart);
        if (i >= len)
            return suspend(runEnd);
        const uint8_t c = p[i];
        if (c == '"') {
            *token = plat::Value(std::move(built));
            built = std::string();
            inString_ = false;
            stream_.setIndex(i + 1);
            return KxJsonTokenTypeString;
        }
        if (c < 0x20)
            return fail(plat::format("Unescaped control character [0x%02X]", c));

        const size_t escapeStart = i;
        if (++i >= len)
            return suspend(escapeStart);
        switch (p[i]) {
            case '"':
            case '/':
            case '\\':
                built += static_cast<char>(p[i]);
                ++i;
                continue;
            case 'b':
                built += '\b';
                ++i;
                continue;
            case 'f':
                built += '\f';
                ++i;
                continue;
            case 'n':
                built += '\n';
                ++i;
                continue;
            case 'r':
                built += '\r';
                ++i;
                continue;
            case 't':
                built += '\t';
                ++i;
                continue;
            case 'u':
                break;
            default:
                return fail("Illegal escape character");
        }

        // i is at the "u"; four hexadecimal digits follow.
        if (len - (i + 1) < 4)
            return suspend(escapeStart);
        uint32_t unit;
        if (!readHexQuad(p + i + 1, &unit))
            return fail("Invalid hex quad");
        i += 5;  // past the last digit
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return fail("Invalid high character in surrogate pair");
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (len - i < 6)
                return suspend(escapeStart);
            uint32_t low;
            if (p[i] != '\\' || p[i + 1] != 'u' || !readHexQuad(p + i + 2, &low))
                return fail("Missing low character in surrogate pair");
            if (low < 0xDC00 || low > 0xDFFF)
                return fail("Invalid low character in surrogate pair");
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
        }
        appendUTF8(built, unit);
    }
}

KxJsonTokenType KxJsonTokeniser::getNumberToken(plat::Value* token) {
    const KxJsonTokenType type = scanNumberToken(token);
    if (type != KxJsonTokenTypeEOF)
        exponentResume_.reset();
    return type;
}

KxJsonTokenType KxJsonTokeniser::scanNumberToken(plat::Value* token) {
    const uint8_t* p = stream_.bytes();
    const size_t len = stream_.length();
    size_t i = stream_.index();
    const size_t tokenStart = i;

    bool negative = false;
    std::string digits;  // integer and fraction digits, as long as there may be a value
    size_t digitCount = 0;
    size_t fractionDigits = 0;
    uint64_t mantissa = 0;  // wraps beyond 19 digits; then the digits are used instead
    auto takeDigit = [&](uint8_t c) {
        if (digits.size() <= kMaxDigits)
            digits += static_cast<char>(c);
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
        ++digitCount;
    };

    if (p[i] == '-') {
        negative = true;
        if (++i >= len)
            return KxJsonTokenTypeEOF;
    }
    if (p[i] == '0') {
        takeDigit(p[i]);
        if (++i >= len)
            return KxJsonTokenTypeEOF;
        if (isDigit(p[i]))
            return fail("Leading zero is illegal in number");
    } else {
        while (isDigit(p[i])) {
            takeDigit(p[i]);
            if (digitCount > kMaxDigits)  // no need to read the rest of an endless number
                return fail("Precision is too high");
            if (++i >= len)
                return KxJsonTokenTypeEOF;
        }
    }

    bool hasFraction = false;
    if (p[i] == '.') {
        hasFraction = true;
        if (++i >= len)
            return KxJsonTokenTypeEOF;
        if (!isDigit(p[i]))
            return fail("No digits after decimal point");
        while (isDigit(p[i])) {
            takeDigit(p[i]);
            if (digitCount > kMaxDigits)
                return fail("Precision is too high");
            ++fractionDigits;
            if (++i >= len)
                return KxJsonTokenTypeEOF;
        }
    }

    bool hasExponent = false;
    long explicitExponent = 0;
    if (p[i] == 'e' || p[i] == 'E') {
        hasExponent = true;
        if (++i >= len)
            return KxJsonTokenTypeEOF;
        bool exponentNegative = false;
        if (p[i] == '-' || p[i] == '+') {
            exponentNegative = p[i] == '-';
            if (++i >= len)
                return KxJsonTokenTypeEOF;
        }
        if (!isDigit(p[i]))
            return fail("No digits in exponent");
        // Only the exponent's digits are unbounded: a number cut off there goes on from where its
        // scan stopped (what comes before is at most a few dozen bytes, read again).
        if (exponentResume_ && exponentResume_->offset > i - tokenStart) {
            i = tokenStart + exponentResume_->offset;
            explicitExponent = exponentResume_->value;
        }
        while (isDigit(p[i])) {
            explicitExponent = explicitExponent * 10 + (p[i] - '0');
            if (explicitExponent > kExponentCap)
                explicitExponent = kExponentCap;
            if (++i >= len) {
                exponentResume_ = ExponentResume{i - tokenStart, explicitExponent};
                return KxJsonTokenTypeEOF;
            }
        }
        if (exponentNegative)
            explicitExponent = -explicitExponent;
    }

    if (digitCount == 0)
        return fail("No digits after initial minus");
    if (digitCount > kMaxDigits)
        return fail("Precision is too high");
    const long exponent = explicitExponent - static_cast<long>(fractionDigits);
    if (exponent > kMaxExponent || exponent < kMinExponent)
        return fail("Exponent out of range");

    constexpr uint64_t kSignedMax = static_cast<uint64_t>(INT64_MAX);
    if (digitCount > 19) {
        *token = plat::Value(makeDecimal(negative, digits, exponent));
    } else if (!hasFraction && !hasExponent) {
        if (!negative && mantissa <= kSignedMax)
            *token = plat::Value(static_cast<int64_t>(mantissa));
        else if (negative && mantissa <= kSignedMax + 1)
            *token = plat::Value(mantissa == kSignedMax + 1 ? INT64_MIN
                                                            : -static_cast<int64_t>(mantissa));
        else  // 19 digits beyond the signed 64-bit range
            *token = plat::Value(makeDecimal(negative, digits, 0));
    } else if (mantissa == 0) {
        *token = plat::Value(negative ? -0.0 : 0.0);
    } else {
        *token = plat::Value(makeDecimal(negative, std::to_string(mantissa), exponent));
    }
    stream_.setIndex(i);
    return KxJsonTokenTypeNumber;
}
