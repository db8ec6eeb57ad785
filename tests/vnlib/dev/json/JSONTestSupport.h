#pragma once
// Helpers of the JSON codec tests: a parse with its error taken apart, a write that answers the
// text or the error message, and random value trees.
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"
#include "vnlib/dev/json/JKSerializer.h"
#include "vnlib/dev/json/JSONDecoder.h"

namespace json_test {

struct Parsed {
    plat::Value value;
    Ref<plat::Error> error;

    std::string message() const;
    uint64_t index() const;
    uint64_t line() const;
};

Parsed parse(std::string_view text, JKParseOptionFlags options = 0);

struct Written {
    std::string text;  // the JSON text, or the error message
    bool ok = false;
};

Written write(const plat::Value& value, JKSerializeOptionFlags options = 0,
              JKSerializeUnsupportedClassBlock block = {});

// A random tree of strings (ASCII, Thai, emoji, escapes), numbers, booleans, null, arrays and
// dictionaries, at most `depth` levels deep.
plat::Value randomValue(std::mt19937_64& rng, int depth);

// A few catalogue records in the shape of the service's replies.
std::string sampleCatalogue();

}  // namespace json_test
