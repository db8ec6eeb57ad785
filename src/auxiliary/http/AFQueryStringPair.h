#pragma once
// Query strings from nested parameters: dictionaries by key (case-insensitive order, nested keys
// as "outer[inner]"), arrays as "key[]" in order, every leaf one "field=value" pair (a null leaf
// the bare field), fields and values percent-escaped in the client's encoding (only letters,
// digits and "-_.~[]" left as they are).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Value.h"

inline constexpr const char* kAFCharactersToBeEscaped = ":/?&=;+!@#$()',*";
inline constexpr const char* kAFCharactersToLeaveUnescaped = "[].";

// One leaf of the parameters: its bracketed key path and its value (possibly null).
class AFQueryStringPair {
  public:
    AFQueryStringPair() = default;
    AFQueryStringPair(plat::Value field, plat::Value value)
        : field(std::move(field)), value(std::move(value)) {}

    std::string URLEncodedStringValueWithEncoding(uint64_t stringEncoding) const;

    plat::Value field;
    plat::Value value;
};

std::string AFPercentEscapedQueryStringPairMemberFromStringWithEncoding(const std::string& string,
                                                                        uint64_t stringEncoding);
std::vector<AFQueryStringPair> AFQueryStringPairsFromKeyAndValue(const plat::Value& key,
                                                                 const plat::Value& value);
std::vector<AFQueryStringPair> AFQueryStringPairsFromDictionary(const plat::Value& dictionary);
std::string AFQueryStringFromParametersWithEncoding(const plat::Value& parameters,
                                                    uint64_t stringEncoding);
