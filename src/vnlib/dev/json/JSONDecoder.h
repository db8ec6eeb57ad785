#pragma once
// JSONDecoder: turns UTF-8 JSON text into platform values. The top level must be an array or an
// object; arrays and objects become JKArray and JKDictionary (immutable, or mutable on request),
// strings are validated as UTF-8 while they are scanned, numbers become signed 64-bit, unsigned
// 64-bit (above the signed range) or double numbers, and true, false and null become the shared
// platform values. The first error of a parse is reported as a plat::Error of domain
// "JKErrorDomain" with the byte index and line number of the failure. Nesting deeper than 512
// arrays and objects is refused.
//
// A decoder keeps a cache of decoded strings across its parses, so that the repeated keys of a
// reply share one string. It runs one parse at a time. Most callers use the one-call functions
// of JSONKitDeserializing.h instead.
//
//   auto decoder = JSONDecoder::decoder();
//   Ref<plat::Error> error;
//   plat::Value v = decoder->objectWithUTF8String(text.data(), text.size(), &error);
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"

// Parse options (a bit mask); 0 is the strict grammar.
using JKParseOptionFlags = uint64_t;
// "//" and "/* */" comments are accepted wherever white space may stand.
inline constexpr JKParseOptionFlags JKParseAllowComments = 1;
// U+0085, U+2028 and U+2029 count as line breaks in white space.
inline constexpr JKParseOptionFlags JKParseUnicodeLineBreaks = 2;
// Malformed UTF-8, lone surrogate escapes and forbidden code points become U+FFFD.
inline constexpr JKParseOptionFlags JKParseReplaceInvalidUnicode = 4;
// Text after the top-level value is ignored.
inline constexpr JKParseOptionFlags JKParseAllowTrailingText = 8;

// Arrays and objects nested deeper than this are refused by the reader and the writer.
inline constexpr size_t JKMaximumNestingDepth = 512;

struct JKParseState;

class JSONDecoder : public plat::Object {
    PLAT_CLASS(JSONDecoder)
  public:
    JSONDecoder();
    // Raises NSInvalidArgumentException "Invalid parse options." for options above 15.
    explicit JSONDecoder(JKParseOptionFlags parseOptionFlags);
    ~JSONDecoder() override;

    static Ref<JSONDecoder> decoder();
    static Ref<JSONDecoder> decoderWithParseOptions(JKParseOptionFlags parseOptionFlags);

    // The value of the text with immutable containers, or nil; on failure the first error is
    // stored through `error` when given. A null `string` raises NSInvalidArgumentException.
    plat::Value objectWithUTF8String(const char* string, size_t length,
                                     Ref<plat::Error>* error = nullptr);
    plat::Value objectWithData(const plat::Bytes& jsonData, Ref<plat::Error>* error = nullptr);
    // The same for a text that the result keeps: each object of the result knows its bytes in
    // the text (JKDictionary::sourceText), valid as long as any value of the result is held.
    plat::Value objectKeepingText(plat::Bytes text, Ref<plat::Error>* error = nullptr);
    // The same with mutable containers.
    plat::Value mutableObjectWithUTF8String(const char* string, size_t length,
                                            Ref<plat::Error>* error = nullptr);
    plat::Value mutableObjectWithData(const plat::Bytes& jsonData,
                                      Ref<plat::Error>* error = nullptr);
    // Other names of objectWithUTF8String and objectWithData.
    plat::Value parseUTF8String(const char* string, size_t length,
                                Ref<plat::Error>* error = nullptr) {
        return objectWithUTF8String(string, length, error);
    }
    plat::Value parseJSONData(const plat::Bytes& jsonData, Ref<plat::Error>* error = nullptr) {
        return objectWithData(jsonData, error);
    }

    // Bounds what a parse may build (immutable parses): past `bytes` of the document and the
    // pending entries of the open containers, the parse fails and what it made is let go. 0
    // (the default) sets no bound.
    void setMaximumTreeBytes(size_t bytes);
    // Whether the last parse failed on that bound.
    bool exceededMaximumTreeBytes() const;

    // Forgets every cached string.
    void clearCache();

    JKParseOptionFlags parseOptionFlags() const;

    // Frees the parse state; later parses raise NSInternalInconsistencyException
    // "parseState is NULL.". The one-call functions use it to free a decoder's memory at once.
    void releaseState();

  private:
    // `keptText`, when given, is the text of `bytes`, taken over by the result's document.
    plat::Value parse(const unsigned char* bytes, size_t length, bool mutableCollections,
                      Ref<plat::Error>* error, plat::Bytes* keptText = nullptr);

    std::unique_ptr<JKParseState> parseState_;
};
