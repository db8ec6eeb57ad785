#include "auxiliary/json/CJSONScanner.h"

#include "auxiliary/json/CJSONDepthGuard.h"

#include "platform/storage/PropertyListSupport.h"

PLAT_DEFINE_CLASS(CJSONScanner, CDataScanner, [](auto&) {})

namespace {

const char* descriptionForCode(int64_t code) {
    switch (code) {
        case -12:
            return "Could not scan data. Data wasn't encoded properly?";
        case -15:
            return "Could not scan object. Character not a valid JSON character.";
        case -101:
            return "Could not scan dictionary. Dictionary that does not start with '{' character.";
        case -102:
            return "Could not scan dictionary. Failed to scan a key.";
        case -103:
            return "Could not scan dictionary. Key was not terminated with a ':' character.";
        case -104:
            return "Could not scan dictionary. Failed to scan a value.";
        case -105:
            return "Could not scan dictionary. Key value pairs not delimited with a ',' character.";
        case -106:
            return "Could not scan dictionary. Dictionary not terminated by a '}' character.";
        case -201:
            return "Could not scan array. Array not started by a '[' character.";
        case -202:
            return "Could not scan array. Could not scan a value.";
        case -203:
            return "Could not scan array. Value is NULL.";
        case -204:
            return "Could not scan array. Array not terminated by a ']' character.";
        case -301:
            return "Could not scan string constant. String not started by a '\"' character.";
        case -302:
            return "Could not scan string constant. Unicode character could not be decoded.";
        case -303:
            return "Could not scan string constant. Unknown escape code.";
        case -304:
            return "Could not scan string constant. No terminating double quote character.";
        default:
            return "Could not scan number constant.";
    }
}

// The encoding of JSON text from the zero bytes among its first four (RFC 4627).
plat::StringEncoding detectEncoding(const plat::Bytes& d) {
    const bool z0 = d[0] == 0, z1 = d[1] == 0, z2 = d[2] == 0, z3 = d[3] == 0;
    if (z0 && z1 && z2 && !z3)
        return plat::NSUTF32BigEndianStringEncoding;
    if (z0 && !z1 && z2 && !z3)
        return plat::NSUTF16BigEndianStringEncoding;
    if (!z0 && z1 && z2 && z3)
        return plat::NSUTF32LittleEndianStringEncoding;
    if (!z0 && z1 && !z2 && z3)
        return plat::NSUTF16LittleEndianStringEncoding;
    return plat::NSUTF8StringEncoding;
}

std::optional<std::string> decode(const plat::Bytes& data, plat::StringEncoding encoding) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (encoding == plat::NSUTF8StringEncoding)
        return plat::plist::isValidUtf8(text) ? std::optional<std::string>(text) : std::nullopt;
    return plat::TextEncoding::decode(text, encoding);
}

}  // namespace

bool CJSONScanner::fail(Ref<plat::Error>* error, int64_t code, std::optional<uint64_t> rewind) {
    if (rewind)
        setScanLocation(*rewind);
    if (error) {
        auto info = userInfoForScanLocation();
        info->setObject(plat::Value(descriptionForCode(code)), plat::NSLocalizedDescriptionKey);
        *error = plat::Error::make(kJSONScannerErrorDomain, code, info);
    }
    return false;
}

bool CJSONScanner::setData(std::shared_ptr<const plat::Bytes> data, Ref<plat::Error>* error) {
    if (!data) {
        CDataScanner::setData(nullptr);
        return fail(error, kJSONScannerErrorCode_CouldNotSerializeData);
    }
    // Short data is scanned as it stands once it is known to be UTF-8; longer data is decoded
    // in its detected encoding (or the allowed one) and scanned re-encoded as UTF-8.
    std::optional<std::string> text;
    plat::StringEncoding encoding = plat::NSUTF8StringEncoding;
    if (data->size() < 4) {
        text = decode(*data, encoding);
    } else {
        encoding = detectEncoding(*data);
        text = decode(*data, encoding);
        if (!text && allowedEncoding_ != 0) {
            encoding = allowedEncoding_;
            text = decode(*data, encoding);
        }
    }
    if (!text) {
        CDataScanner::setData(nullptr);
        return fail(error, kJSONScannerErrorCode_CouldNotSerializeData);
    }
    // UTF-8 input is scanned as it is; anything else as its UTF-8 form.
    if (encoding == plat::NSUTF8StringEncoding)
        CDataScanner::setData(std::move(data));
    else
        CDataScanner::setData(std::make_shared<const plat::Bytes>(text->begin(), text->end()));
    return true;
}

bool CJSONScanner::scanJSONObject(plat::Value* value, Ref<plat::Error>* error) {
    skipWhitespace();
    if (value)
        *value = plat::Value();
    switch (currentCharacter()) {
        case '{':
            return scanJSONDictionary(value, error);
        case '[':
            return scanJSONArray(value, error);
        case '"':
        case '\'':
            return scanJSONStringConstant(value, error);
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
            return scanJSONNumberConstant(value, error);
        case 't':
            if (scanUTF8String("true") && value)
                *value = plat::Value::boolean(true);
            return true;
        case 'f':
            if (scanUTF8String("false") && value)
                *value = plat::Value::boolean(false);
            return true;
        case 'n':
            if (scanUTF8String("null") && value)
                *value = nullObject_;
            return true;
        default:
            return fail(error, kJSONScannerErrorCode_CouldNotScanObject);
    }
}

bool CJSONScanner::scanJSONDictionary(plat::Value* value, Ref<plat::Error>* error) {
    const uint64_t start = scanLocation();
    skipWhitespace();
    if (!scanCharacter(u'{'))
        return fail(error, kJSONScannerErrorCode_DictionaryStartCharacterMissing, start);
    if (depth_ >= kMaxDepth)
        return fail(error, kJSONScannerErrorCode_DictionaryValueScanFailed, start);
    CJSONDepthGuard guard(depth_);
    auto dictionary = plat::MutableDictionary::make();
    while (currentCharacter() != '}') {
        skipWhitespace();
        if (currentCharacter() == '}')
            break;
        std::string key;
        if (!scanJSONStringInto(key, nullptr))
            return fail(error, kJSONScannerErrorCode_DictionaryKeyScanFailed, start);
        skipWhitespace();
        if (!scanCharacter(u':'))
            return fail(error, kJSONScannerErrorCode_DictionaryKeyNotTerminated, start);
        plat::Value element;
        if (!scanJSONObject(&element, nullptr))
            return fail(error, kJSONScannerErrorCode_DictionaryValueScanFailed, start);
        if (!element.isNil())
            dictionary->setObject(std::move(element), plat::Value(std::move(key)));
        else if (!nullObject_.isNil())
            dictionary->removeObjectForKey(plat::Value(std::move(key)));
        skipWhitespace();
        if (scanCharacter(u',')) {
            skipWhitespace();
            continue;
        }
        if (currentCharacter() != '}')
            return fail(error, kJSONScannerErrorCode_DictionaryKeyValuePairNoDelimiter, start);
        break;
    }
    if (!scanCharacter(u'}'))
        return fail(error, kJSONScannerErrorCode_DictionaryNotTerminated, start);
    if (value) {
        if (options_ & kJSONScannerOptions_MutableContainers)
            *value = plat::Value(Ref<plat::Dictionary>(std::move(dictionary)));
        else
            *value = plat::Value(dictionary->copy());
    }
    return true;
}

bool CJSONScanner::scanJSONArray(plat::Value* value, Ref<plat::Error>* error) {
    const uint64_t start = scanLocation();
    skipWhitespace();
    if (!scanCharacter(u'['))
        return fail(error, kJSONScannerErrorCode_ArrayStartCharacterMissing, start);
    if (depth_ >= kMaxDepth)
        return fail(error, kJSONScannerErrorCode_ArrayValueScanFailed, start);
    CJSONDepthGuard guard(depth_);
    skipWhitespace();
    std::vector<plat::Value> elements;
    while (currentCharacter() != ']') {
        plat::Value element;
        if (!scanJSONObject(&element, nullptr))
            return fail(error, kJSONScannerErrorCode_ArrayValueScanFailed, start);
        if (!element.isNil())
            elements.push_back(std::move(element));
        else if (!nullObject_.isNil())
            return fail(error, kJSONScannerErrorCode_ArrayValueIsNull);
        skipWhitespace();
        if (scanCharacter(u',')) {
            skipWhitespace();
            continue;
        }
        skipWhitespace();
        if (currentCharacter() != ']')
            return fail(error, kJSONScannerErrorCode_ArrayNotTerminated, start);
        break;
    }
    skipWhitespace();
    if (!scanCharacter(u']'))
        return fail(error, kJSONScannerErrorCode_ArrayNotTerminated, start);
    if (value) {
        const bool isMutable = options_ & kJSONScannerOptions_MutableContainers;
        *value = plat::Value(
            Ref<plat::Array>(std::make_shared<plat::MutableArray>(std::move(elements), isMutable)));
    }
    return true;
}

bool CJSONScanner::scanJSONStringConstant(plat::Value* value, Ref<plat::Error>* error) {
    std::string text;
    if (!scanJSONStringInto(text, error))
        return false;
    // Strings are immutable values here, so the mutable-leaves option changes nothing.
    if (value)
        *value = plat::Value(std::move(text));
    return true;
}

bool CJSONScanner::scanUnicodeEscape(uint16_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = scanCharacter();
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        unit = static_cast<uint16_t>(unit << 4 | digit);
    }
    return true;
}

bool CJSONScanner::scanJSONStringInto(std::string& text, Ref<plat::Error>* error) {
    const uint64_t start = scanLocation();
    skipWhitespace();
    if (!scanCharacter(u'"'))
        return fail(error, kJSONScannerErrorCode_StringNotStartedWithQuote, start);
    std::string run;
    while (!scanCharacter(u'"')) {
        if (scanNotQuoteCharactersIntoString(&run)) {
            text += run;
            continue;
        }
        if (!scanCharacter(u'\\'))
            return fail(error, kJSONScannerErrorCode_StringNotTerminated);
        const char c = scanCharacter();
        switch (c) {
            case '"':
            case '/':
            case '\\':
                text += c;
                break;
            case 'b':
                text += '\b';
                break;
            case 'f':
                text += '\f';
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'u': {
                uint16_t unit;
                if (!scanUnicodeEscape(unit))
                    return fail(error, kJSONScannerErrorCode_StringUnicodeNotDecoded, start);
                uint32_t codePoint = unit;
                // UTF-8 text cannot hold half a surrogate pair: a lone one fails as undecodable.
                if (unit >= 0xDC00 && unit <= 0xDFFF)
                    return fail(error, kJSONScannerErrorCode_StringUnicodeNotDecoded, start);
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    uint16_t low;
                    if (!scanUTF8String("\\u") || !scanUnicodeEscape(low) || low < 0xDC00 ||
                        low > 0xDFFF)
                        return fail(error, kJSONScannerErrorCode_StringUnicodeNotDecoded, start);
                    codePoint = 0x10000 + ((unit - 0xD800u) << 10) + (low - 0xDC00u);
                }
                plat::plist::appendUtf8(text, codePoint);
                break;
            }
            default:
                if (isAtEnd() && c == 0)
                    return fail(error, kJSONScannerErrorCode_StringNotTerminated);
                if (strictEscapeCodes_)
                    return fail(error, kJSONScannerErrorCode_StringUnknownEscapeCode, start);
                if (static_cast<uint8_t>(c) >= 0x80)
                    setScanLocation(scanLocation() - 1);  // the whole character stands for itself
                else
                    text += c;
                break;
        }
    }
    return true;
}

bool CJSONScanner::scanNotQuoteCharactersIntoString(std::string* out) {
    static const CDataScannerCharacterSet stops = CDataScannerCharacterSetWithCharacters("\"\\");
    const uint64_t n = runLength(stops, false);
    if (n == 0)
        return false;
    if (out)
        out->assign(remainingView().substr(0, n));
    current_ += n;
    return true;
}

bool CJSONScanner::scanJSONNumberConstant(plat::Value* value, Ref<plat::Error>* error) {
    skipWhitespace();
    plat::Value number;
    if (!scanNumber(&number))
        return fail(error, kJSONScannerErrorCode_NumberNotScannable);
    if (value)
        *value = std::move(number);
    return true;
}
