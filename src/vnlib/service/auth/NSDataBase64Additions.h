#pragma once
// Lenient Base64 decoding of texts that may be wrapped over several lines or lack their "="
// padding: white space and every "=" are skipped, and whatever else is not of the standard
// alphabet makes the whole text unreadable.
#include <optional>
#include <string_view>

#include "platform/core/Value.h"

// The decoded bytes; empty for the empty text; nothing for a text with a non-ASCII character, a
// character outside the alphabet, or a single symbol left over at the end. A missing text is a
// programming error (NSInvalidArgumentException).
std::optional<plat::Bytes> dataWithBase64EncodedString(std::optional<std::string_view> string);
