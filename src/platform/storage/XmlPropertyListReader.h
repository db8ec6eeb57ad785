#pragma once
// Internal: the XML property-list reader. Accepts a <plist> root (or a bare value element),
// the XML declaration, a DOCTYPE, comments, processing instructions, CDATA sections, the five
// predefined entities and character references. No external entities are ever resolved.
#include <string_view>

#include "platform/core/Value.h"

namespace plat::plist {

class XmlPropertyListReader {
  public:
    // Parses UTF-8 text; throws ParseError with a message that names the line on failure.
    static Value read(std::string_view text);
};

}  // namespace plat::plist
