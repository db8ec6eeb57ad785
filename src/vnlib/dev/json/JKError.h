#pragma once
// The error record of the JSON reader and writer: domain "JKErrorDomain", code -1, the message
// under NSLocalizedDescriptionKey and, for the reader, the byte index and line number of the
// failure under "JKAtIndexKey" and "JKLineNumberKey" (unsigned numbers).
#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Error.h"

inline constexpr const char* JKErrorDomain = "JKErrorDomain";
inline constexpr const char* JKAtIndexKey = "JKAtIndexKey";
inline constexpr const char* JKLineNumberKey = "JKLineNumberKey";

struct JKErrorPosition {
    uint64_t index = 0;
    uint64_t lineNumber = 0;
};

// An error of the JSON codec with the message and, when given, the position.
Ref<plat::Error> JKErrorMake(std::string message,
                             std::optional<JKErrorPosition> position = std::nullopt);
