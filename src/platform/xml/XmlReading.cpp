#include "platform/xml/XmlReading.h"

#include <libxml/parserInternals.h>

#include <climits>
#include <string>

namespace plat::xml_reading {
namespace {

struct Session {
    void* user = nullptr;
    bool entityDeclared = false;
};

Session& session(void* context) {
    return *static_cast<Session*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void refuseEntity(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    session(context).entityDeclared = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

void quiet(void*, const char*, ...) {}

}  // namespace

void* userOf(void* context) {
    return session(context).user;
}

Ref<Error> parse(std::span<const uint8_t> bytes, xmlSAXHandler handlers, void* user,
                 xmlDocPtr* documentOut, const std::function<bool()>& aborted) {
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        return Error::withDescription(kXmlErrorDomain, 1, "The XML data is too large.");
    handlers.entityDecl = &refuseEntity;
    handlers.externalSubset = nullptr;
    handlers.resolveEntity = nullptr;
    handlers.warning = &quiet;
    handlers.error = &quiet;
    Session state{user, false};
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handlers, nullptr, nullptr, 0, nullptr);
    if (!context)
        return Error::withDescription(kXmlErrorDomain, 1, "The XML parser could not be made.");
    context->_private = &state;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
    // Fed in pieces so that an abort takes effect soon.
    constexpr size_t kPiece = 64 * 1024;
    size_t offset = 0;
    int result = 0;
    do {
        const size_t n = std::min(kPiece, bytes.size() - offset);
        const bool last = offset + n == bytes.size();
        result = xmlParseChunk(context, reinterpret_cast<const char*>(bytes.data() + offset),
                               static_cast<int>(n), last ? 1 : 0);
        offset += n;
        if (aborted && aborted()) {
            xmlStopParser(context);
            break;
        }
    } while (result == 0 && offset < bytes.size() && !state.entityDeclared);

    Ref<Error> error;
    if (state.entityDeclared) {
        error = Error::withDescription(kXmlErrorDomain, kEntityDeclarationRefused,
                                       "Entity declarations are not accepted.");
    } else if (aborted && aborted()) {
        error = Error::withDescription(kXmlErrorDomain, 512, "The parse was aborted.");
    } else if (!context->wellFormed || result != 0) {
        const xmlError* last = xmlCtxtGetLastError(context);
        std::string message = last && last->message ? last->message : "The XML is not well formed.";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        error = Error::withDescription(
            kXmlErrorDomain, last ? last->code : 1,
            "line " + std::to_string(last ? last->line : 0) + ": " + message);
    }
    if (documentOut && !error) {
        *documentOut = context->myDoc;
        context->myDoc = nullptr;
    }
    if (context->myDoc)
        xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
    xmlFreeParserCtxt(context);
    return error;
}

}  // namespace plat::xml_reading
