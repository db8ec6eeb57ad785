#pragma once
// Query strings from nested parameters: dictionaries by key (case-insensitive order, nested keys
// as "outer[inner]"), arrays as "key[]" in order, sets under the key itself, every leaf one
// "field=value" pair (a null leaf
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

// The value model has no set type. A caller that wants a set's flattening (each element under
// the same key, without brackets: "ids=1&ids=2") passes its elements as an AFQueryStringSet
// inside a plat::Value (AFQueryStringSet::value); equal elements count once, in the order given.
class AFQueryStringSet : public plat::Object {
    PLAT_CLASS(AFQueryStringSet)
  public:
    explicit AFQueryStringSet(const std::vector<plat::Value>& elements);
    static plat::Value value(const std::vector<plat::Value>& elements);
    const std::vector<plat::Value>& elements() const { return elements_; }

  private:
    std::vector<plat::Value> elements_;
};

std::string AFPercentEscapedQueryStringPairMemberFromStringWithEncoding(const std::string& string,
                                                                        uint64_t stringEncoding);
std::vector<AFQueryStringPair> AFQueryStringPairsFromKeyAndValue(const plat::Value& key,
                                                                 const plat::Value& value);
std::vector<AFQueryStringPair> AFQueryStringPairsFromDictionary(const plat::Value& dictionary);
std::string AFQueryStringFromParametersWithEncoding(const plat::Value& parameters,
                                                    uint64_t stringEncoding);
