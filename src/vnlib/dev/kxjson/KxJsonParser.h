#pragma once
// KxJsonParser: reads one JSON document from UTF-8 text into platform values. The top level must
// be an array or an object; objects become plat::MutableDictionary and arrays
// plat::MutableArray, integers of up to 19 digits signed 64-bit numbers, other numbers decimal
// numbers (a zero with a fraction or an exponent becomes a signed double zero), true and false
// the shared booleans, null the null value. Containers nest at most maxDepth() deep (32).
// The parser never throws: a failure answers nil and leaves its reason in error().
//
//   auto parser = std::make_shared<KxJsonParser>();
//   plat::Value value = parser->objectWithString(text);
//   if (value.isNil()) plat::log(*parser->error());
//
// JSONValue(text) does the same with a new parser and logs the failure.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Error.h"
#include "platform/core/Value.h"

inline constexpr const char* KxJsonParserErrorDomain = "KxJsonParserErrorDomain";

class KxJsonParser : public plat::Object {
    PLAT_CLASS(KxJsonParser)
  public:
    KxJsonParser() = default;

    size_t maxDepth() const { return maxDepth_; }
    // At most KxJsonStreamParser::kMaxDepthCeiling (512); a larger setting is lowered to it.
    void setMaxDepth(size_t maxDepth) { maxDepth_ = std::min(maxDepth, size_t{512}); }
    // The reason of the last failure; none before the first.
    const std::optional<std::string>& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    // The top-level array or dictionary of the bytes, or nil with error() set. A null pointer
    // stands for absent input ("Input was 'nil'").
    plat::Value objectWithData(const plat::Bytes* data);
    plat::Value objectWithData(const plat::Bytes& data) { return objectWithData(&data); }
    plat::Value objectWithString(const std::string* string);
    plat::Value objectWithString(std::string_view string);
    // As objectWithString; on failure, when `error` is given, it receives an error of domain
    // KxJsonParserErrorDomain, code 0, with the reason as its localized description.
    plat::Value objectWithString(std::string_view string, Ref<plat::Error>* error);

  private:
    plat::Value objectWithBytes(const uint8_t* bytes, size_t length);

    size_t maxDepth_ = 32;
    std::optional<std::string> error_;
};

// The value of the text or bytes from a new KxJsonParser; nil on failure, after the log line
// "-JSONValue failed. Error is: <reason>".
plat::Value JSONValue(std::string_view text);
plat::Value JSONValue(const plat::Bytes& data);
