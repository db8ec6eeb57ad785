#pragma once
// Internal: the old-style (OpenStep) text property-list reader: { key = value; }, ( a, b ),
// <hex data>, quoted and unquoted strings, // and /* */ comments, and the strings-file form
// (key = value; pairs without the enclosing braces). Every scalar reads as a string.
#include <string_view>

#include "platform/core/Value.h"

namespace plat::plist {

class OpenStepPropertyListReader {
  public:
    // Parses UTF-8 text; throws ParseError with a message that names the line on failure.
    static Value read(std::string_view text);
};

}  // namespace plat::plist
