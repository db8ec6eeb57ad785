// Feeds arbitrary bytes to both JSON readers; whatever one of them accepts must be written and
// read back to an equal value.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    plat::Value fast = objectFromJSONString(text);
    if (!fast.isNil()) {
        std::optional<std::string> written;
        if (auto dictionary = fast.dictionary())
            written = JSONString(dictionary);
        if (auto array = fast.array())
            written = JSONString(array);
        if (written && !objectFromJSONString(*written).equals(fast))
            __builtin_trap();
    }

    KxJsonParser parser;
    plat::Value stream = parser.objectWithString(text);
    if (!stream.isNil()) {
        auto written = KxJsonWriter().stringWithObject(stream);
        KxJsonParser reader;
        // A decimal with a wide exponent is written out in full, beyond the 38 digits the reader
        // takes: that one refusal is expected.
        if (written && !reader.objectWithString(*written).equals(stream) &&
            reader.error() != std::optional<std::string>("Precision is too high"))
            __builtin_trap();
    }
    return 0;
}
