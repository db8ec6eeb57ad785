#pragma once
// Internal: writes a value as an XML property list (UTF-8, tab-indented, the standard prolog).
// The text is bounded by the value's own size (each distinct object counted once): a value that
// shares one object thousands of times is refused rather than written out in full each time.
#include <string>

#include "platform/core/Value.h"

namespace plat::plist {

class XmlPropertyListWriter {
  public:
    // The document text; throws ParseError naming what cannot be written.
    static std::string write(const Value& value);
    // Throws ParseError when the value cannot be written; writes nothing.
    static void validate(const Value& value);
};

}  // namespace plat::plist
