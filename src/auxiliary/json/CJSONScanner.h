#pragma once
// CJSONScanner: a recursive-descent JSON reader over CDataScanner. It accepts a comma before a
// closing bracket or brace, ignores bytes after the value, reads numbers as decimals or 64-bit
// integers, and turns "null" into nullObject (nil makes nulls disappear from their container).
// The input's encoding is detected from its first four bytes (UTF-8, UTF-16 or UTF-32 in either
// byte order) and scanned as UTF-8. Containers nest at most kMaxDepth deep. Every failure is an
// error of kJSONScannerErrorDomain with the scan location in its user info; the outermost
// construct that failed names it.
#include "auxiliary/json/CDataScanner.h"
#include "platform/core/Error.h"
#include "platform/net/TextEncoding.h"

inline constexpr const char* kJSONScannerErrorDomain = "kJSONScannerErrorDomain";

enum CJSONScannerOptions : uint64_t {
    kJSONScannerOptions_MutableContainers = 0x1,
    kJSONScannerOptions_MutableLeaves = 0x2,
};

enum : int64_t {
    kJSONScannerErrorCode_CouldNotSerializeData = -12,
    kJSONScannerErrorCode_CouldNotScanObject = -15,
    kJSONScannerErrorCode_DictionaryStartCharacterMissing = -101,
    kJSONScannerErrorCode_DictionaryKeyScanFailed = -102,
    kJSONScannerErrorCode_DictionaryKeyNotTerminated = -103,
    kJSONScannerErrorCode_DictionaryValueScanFailed = -104,
    kJSONScannerErrorCode_DictionaryKeyValuePairNoDelimiter = -105,
    kJSONScannerErrorCode_DictionaryNotTerminated = -106,
    kJSONScannerErrorCode_ArrayStartCharacterMissing = -201,
    kJSONScannerErrorCode_ArrayValueScanFailed = -202,
    kJSONScannerErrorCode_ArrayValueIsNull = -203,
    kJSONScannerErrorCode_ArrayNotTerminated = -204,
    kJSONScannerErrorCode_StringNotStartedWithQuote = -301,
    kJSONScannerErrorCode_StringUnicodeNotDecoded = -302,
    kJSONScannerErrorCode_StringUnknownEscapeCode = -303,
    kJSONScannerErrorCode_StringNotTerminated = -304,
    kJSONScannerErrorCode_NumberNotScannable = -401,
};

class CJSONScanner : public CDataScanner {
    PLAT_CLASS(CJSONScanner)
  public:
    static constexpr int kMaxDepth = 512;

    CJSONScanner() = default;

    // Checks the encoding and scans the data re-encoded as UTF-8; no (error -12) when it cannot
    // be decoded or is null.
    bool setData(std::shared_ptr<const plat::Bytes> data, Ref<plat::Error>* error);
    bool setData(const plat::Bytes& data, Ref<plat::Error>* error) {
        return setData(std::make_shared<const plat::Bytes>(data), error);
    }
    void setData(std::shared_ptr<const plat::Bytes> data) override {
        setData(std::move(data), nullptr);
    }

    // Each scan answers yes or no; `value` receives what was read (nil for a word that is not
    // true, false or null) and `error` the failure.
    bool scanJSONObject(plat::Value* value, Ref<plat::Error>* error);
    bool scanJSONDictionary(plat::Value* value, Ref<plat::Error>* error);
    bool scanJSONArray(plat::Value* value, Ref<plat::Error>* error);
    bool scanJSONStringConstant(plat::Value* value, Ref<plat::Error>* error);
    bool scanJSONNumberConstant(plat::Value* value, Ref<plat::Error>* error);
    // No, with the error of that code at the current location.
    bool failWithCode(int64_t code, Ref<plat::Error>* error) { return fail(error, code); }
    // The longest non-empty run of bytes other than '"' and '\'.
    bool scanNotQuoteCharactersIntoString(std::string* out);

    bool strictEscapeCodes() const { return strictEscapeCodes_; }
    void setStrictEscapeCodes(bool strict) { strictEscapeCodes_ = strict; }
    const plat::Value& nullObject() const { return nullObject_; }
    void setNullObject(plat::Value nullObject) { nullObject_ = std::move(nullObject); }
    plat::StringEncoding allowedEncoding() const { return allowedEncoding_; }
    void setAllowedEncoding(plat::StringEncoding encoding) { allowedEncoding_ = encoding; }
    uint64_t options() const { return options_; }
    void setOptions(uint64_t options) { options_ = options; }

  private:
    // Sets the location back (when `rewind` holds a location) and builds the error.
    bool fail(Ref<plat::Error>* error, int64_t code, std::optional<uint64_t> rewind = {});
    bool scanJSONStringInto(std::string& text, Ref<plat::Error>* error);
    bool scanUnicodeEscape(uint16_t& unit);

    bool strictEscapeCodes_ = false;
    plat::Value nullObject_ = plat::Value::null();
    plat::StringEncoding allowedEncoding_ = 0;
    uint64_t options_ = 0;
    int depth_ = 0;
};
