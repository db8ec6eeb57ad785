#pragma once
// Helpers of the stream JSON codec tests: a parse that answers the value or the error text, the
// same parse fed in pieces, a compact write, and nested array texts.
#include <cstddef>
#include <random>
#include <string>
#include <string_view>

#include "platform/core/Value.h"

namespace kxjson_test {

struct Outcome {
    plat::Value value;  // nil on failure
    std::string error;  // the failure text; empty on success
};

Outcome parse(std::string_view text, size_t maxDepth = 32);
// The same text given to one stream parser in random pieces, as a network read would.
Outcome parseInPieces(std::string_view text, std::mt19937_64& rng);

struct Written {
    std::string text;  // the JSON text, or the error text
    bool ok = false;
};

Written write(const plat::Value& value, size_t maxDepth = 32);

// `depth` arrays, one inside the other, around `inner`.
std::string nestedArrays(size_t depth, std::string_view inner = "");

}  // namespace kxjson_test
