#include "platform/xml/XmlParser.h"

#include "platform/xml/XmlReading.h"

namespace plat {

PLAT_DEFINE_CLASS(XmlParser, Object, PLAT_NO_METHODS)

struct XmlParserEvents {
    static XmlParser& parser(void* context) {
        return *static_cast<XmlParser*>(xml_reading::userOf(context));
    }
    static std::string text(const xmlChar* value) {
        return value ? reinterpret_cast<const char*>(value) : "";
    }
    static std::string qualified(const xmlChar* prefix, const xmlChar* local) {
        return prefix ? text(prefix) + ":" + text(local) : text(local);
    }
    static void start(void* context, const xmlChar* local, const xmlChar* prefix, const xmlChar*,
                      int, const xmlChar**, int count, int, const xmlChar** attributes) {
        XmlParser& p = parser(context);
        const auto delegate = p.delegate_.lock();
        if (!delegate || p.aborted_)
            return;
        XmlParserDelegate::Attributes list;
        for (int i = 0; i < count; ++i) {
            const xmlChar** a = attributes + i * 5;  // local, prefix, URI, value, end
            list.emplace_back(
                qualified(a[1], a[0]),
                std::string(reinterpret_cast<const char*>(a[3]), static_cast<size_t>(a[4] - a[3])));
        }
        delegate->didStartElement(p, qualified(prefix, local), list);
    }
    static void end(void* context, const xmlChar* local, const xmlChar* prefix, const xmlChar*) {
        XmlParser& p = parser(context);
        if (const auto delegate = p.delegate_.lock(); delegate && !p.aborted_)
            delegate->didEndElement(p, qualified(prefix, local));
    }
    static void characters(void* context, const xmlChar* chars, int length) {
        XmlParser& p = parser(context);
        if (const auto delegate = p.delegate_.lock(); delegate && !p.aborted_)
            delegate->foundCharacters(
                p, std::string(reinterpret_cast<const char*>(chars), static_cast<size_t>(length)));
    }
};

Ref<XmlParser> XmlParser::make(Bytes data) {
    auto parser = std::make_shared<XmlParser>();
    parser->data_ = std::move(data);
    return parser;
}

bool XmlParser::parse() {
    xmlSAXHandler handlers{};
    handlers.initialized = XML_SAX2_MAGIC;
    handlers.startElementNs = &XmlParserEvents::start;
    handlers.endElementNs = &XmlParserEvents::end;
    handlers.characters = &XmlParserEvents::characters;
    handlers.cdataBlock = &XmlParserEvents::characters;
    error_ = xml_reading::parse(data_, handlers, this, nullptr, [this] { return aborted_; });
    if (error_) {
        if (const auto delegate = delegate_.lock())
            delegate->parseErrorOccurred(*this, error_);
    }
    return !error_;
}

}  // namespace plat
