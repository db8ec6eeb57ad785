#pragma once
// Internal to the XML stand-ins: one libxml2 push parse of a whole buffer with our safety rules
// (no network, no external DTD or entities, no entity declarations at all, libxml2's size
// limits kept), over the given SAX handlers.
#include <libxml/parser.h>

#include <functional>
#include <span>

#include "platform/core/Error.h"

namespace plat::xml_reading {

inline constexpr const char* kXmlErrorDomain = "NSXMLParserErrorDomain";
// The code of a document that declares entities (refused, whatever they expand to).
inline constexpr int64_t kEntityDeclarationRefused = 1001;

// Parses the bytes with the handlers (whose callbacks get the parser context as their first
// argument; its _private is `user`). `setUp` may adjust the context before parsing. Answers the
// first error, or null; `documentOut`, when given, takes the document libxml2 built.
Ref<Error> parse(std::span<const uint8_t> bytes, xmlSAXHandler handlers, void* user,
                 xmlDocPtr* documentOut, const std::function<bool()>& aborted = nullptr);

// The `user` given to parse(), from a callback's context argument.
void* userOf(void* context);

}  // namespace plat::xml_reading
