#include "auxiliary/html/HTMLParser.h"

#include <libxml/HTMLtree.h>
#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/storage/FileHandle.h"
#include "platform/storage/FileManager.h"

PLAT_DEFINE_CLASS(HTMLNode, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(HTMLParser, plat::Object, PLAT_NO_METHODS)

namespace {

std::string utf8(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}

bool nameIs(xmlNodePtr node, const std::string& name) {
    return node->name && utf8(node->name) == name;
}

// The first attribute of that name, exactly.
xmlAttrPtr attributeNamed(xmlNodePtr node, const std::string& name) {
    if (node->type != XML_ELEMENT_NODE)
        return nullptr;
    for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next) {
        if (attribute->name && utf8(attribute->name) == name)
            return attribute;
    }
    return nullptr;
}

bool attributeMatches(xmlNodePtr node, const std::string& attribute, const std::string& value,
                      bool allowPartial) {
    const xmlAttrPtr found = attributeNamed(node, attribute);
    if (!found)
        return false;
    for (xmlNodePtr child = found->children; child; child = child->next) {
        if (child->type != XML_TEXT_NODE || !child->content)
            continue;
        const std::string text = utf8(child->content);
        if (allowPartial ? text.find(value) != std::string::npos : text == value)
            return true;
    }
    return false;
}

constexpr size_t kMaxPageBytes = size_t{256} << 20;
constexpr size_t kMaxAttributes = 10000;
// libxml2 checks each new attribute of a tag against every earlier one of that tag: the page's
// work is the number of such pairs over all its tags. One tag of the most attributes allowed
// (about a fifth of a second) is the most a page may cost, however its attributes are spread.
constexpr uint64_t kMaxAttributePairs = uint64_t{kMaxAttributes} * (kMaxAttributes - 1) / 2;
// Attributes in all: each costs libxml2 a node and some copying.
constexpr uint64_t kMaxAttributesInAll = 1'000'000;
// libxml2 reads the page in pieces of this size (see parse()).
constexpr size_t kReadingPiece = 4096;
// Elements open at once: libxml2 looks an end tag up among them, and a "body" start tag too (to
// merge it into an open body), so each such tag costs the depth of the open elements. Pages nest
// a few dozen deep.
constexpr uint64_t kMaxDepth = 10'000;
// Those lookups in all: as much as one tag at the attribute bound costs.
constexpr uint64_t kMaxLookupWork = kMaxAttributePairs;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether the tag at `p` (its '<') is a start tag named "html" or "body" in any case, which
// libxml2 merges into the open element of that name when there is one.
bool isHtmlOrBodyStartTag(const char* p, const char* end) {
    const auto nameIsThere = [&](std::string_view name) {
        if (static_cast<size_t>(end - p) <= name.size())
            return false;
        for (size_t i = 0; i < name.size(); ++i) {
            if ((p[1 + i] | 0x20) != name[i])
                return false;
        }
        // The name ends there (libxml2 reads on through letters, digits, ':', '-', '_' and '.').
        const char* after = p + 1 + name.size();
        return after == end || !(isLetter(*after) || (*after >= '0' && *after <= '9') ||
                                 *after == ':' || *after == '-' || *after == '_' || *after == '.');
    };
    return nameIsThere("html") || nameIsThere("body");
}

// Where a comment whose text starts at `p` ends, as libxml2 reads it: after the first "-->" or
// "--!>"; null when it never ends (libxml2 then reads nothing more).
const char* commentEnd(const char* p, const char* end) {
    const auto length = static_cast<size_t>(end - p);
    const auto* plain = static_cast<const char*>(memmem(p, length, "-->", 3));
    const auto* bang = static_cast<const char*>(memmem(p, length, "--!>", 4));
    if (bang && (!plain || bang < plain))
        return bang + 4;
    return plain ? plain + 3 : nullptr;
}

// One pass over the page before libxml2 sees it: libxml2 checks each new attribute of a tag
// against every earlier one, so a start tag with very many attributes costs their square. Why the
// page is refused; empty when it may be parsed.
std::string refusalOf(const char* bytes, size_t length) {
    if (length > kMaxPageBytes)
        return "the page is larger than " + std::to_string(kMaxPageBytes) + " bytes";
    const char* p = bytes;
    const char* end = bytes + length;
    uint64_t pairs = 0;
    uint64_t inAll = 0;
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p))))) {
        ++p;
        if (p < end && *p == '!' && end - p >= 3 && p[1] == '-' && p[2] == '-') {
            // A comment: to its end, whatever it holds.
            p = commentEnd(p + 3, end);
            if (!p)
                break;
            continue;
        }
        if (p >= end || !isLetter(*p))
            continue;
        // A start tag: its name, then attributes (a name, maybe "=" and a value) to '>'.
        while (p < end && !isBlank(*p) && *p != '>' && *p != '/')
            ++p;
        size_t attributes = 0;
        while (p < end && *p != '>') {
            if (isBlank(*p) || *p == '/') {
                ++p;
                continue;
            }
            if (++attributes > kMaxAttributes)
                return "a start tag has more than " + std::to_string(kMaxAttributes) +
                       " attributes";
            pairs += attributes - 1;
            if (pairs > kMaxAttributePairs || ++inAll > kMaxAttributesInAll)
                return "its start tags hold too many attributes in all to be read";
            while (p < end && !isBlank(*p) && *p != '>' && *p != '=' && *p != '/')
                ++p;
            while (p < end && isBlank(*p))
                ++p;
            if (p == end || *p != '=')
                continue;
            ++p;
            while (p < end && isBlank(*p))
                ++p;
            if (p < end && (*p == '"' || *p == '\'')) {
                const char quote = *p++;
                const char* closing =
                    static_cast<const char*>(std::memchr(p, quote, static_cast<size_t>(end - p)));
                p = closing ? closing + 1 : end;
            } else {
                while (p < end && !isBlank(*p) && *p != '>')
                    ++p;
            }
        }
    }
    return {};
}

// libxml2's reading of a start tag from its '<' (its name, then attributes to '>' or "/>"):
// how many attribute names it reads there, long names counted per 100 characters as it reads
// them. Only the tag's own rules apply, so this holds wherever libxml2 stands.
uint64_t attributesOfStartTag(const char* p, const char* end) {
    const auto isNameStart = [](char c) { return isLetter(c) || c == '_' || c == ':' || c == '.'; };
    const auto isNameChar = [&](char c) {
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-';
    };
    const auto atTagEnd = [&](const char* q) {
        return q == end || *q == '\0' || *q == '>' || (*q == '/' && q + 1 < end && q[1] == '>');
    };
    // A name of more than 100 characters is read as several.
    const auto skipName = [&](const char*& q) {
        const char* start = q;
        while (q < end && isNameChar(*q))
            ++q;
        return static_cast<uint64_t>((q - start + 99) / 100);
    };
    ++p;
    uint64_t attributes = skipName(p) - 1;
    while (!atTagEnd(p)) {
        if (!isNameStart(*p)) {
            // A bogus attribute: dropped up to the next blank or the end of the tag.
            while (!atTagEnd(p) && !isBlank(*p))
                ++p;
        } else {
            attributes += skipName(p);
            while (p < end && isBlank(*p))
                ++p;
            if (p < end && *p == '=') {
                ++p;
                while (p < end && isBlank(*p))
                    ++p;
                if (p < end && (*p == '"' || *p == '\'')) {
                    const char* closing = static_cast<const char*>(
                        std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1)));
                    p = closing ? closing + 1 : end;
                } else {
                    while (p < end && *p != '>' && !isBlank(*p))
                        ++p;
                }
            }
        }
        while (p < end && isBlank(*p))
            ++p;
    }
    return attributes;
}

// What libxml2 does with the page as it reads it: the start tags it reads (by their attributes),
// and the end tags and "html" and "body" start tags it looks up in its stack of open elements
// (each costs up to the stack's depth). Why the reading stopped; empty while it may go on.
struct ReadingWatch {
    startElementSAXFunc startElement = nullptr;
    uint64_t pairs = 0;
    uint64_t inAll = 0;
    uint64_t lookupWork = 0;
    std::string refusal;

    void addTag(uint64_t attributes) {
        if (attributes > kMaxAttributes) {
            refusal = "a start tag has more than " + std::to_string(kMaxAttributes) + " attributes";
            return;
        }
        pairs += attributes * (attributes - (attributes > 0)) / 2;
        inAll += attributes;
        if (pairs > kMaxAttributePairs || inAll > kMaxAttributesInAll)
            refusal = "its start tags hold too many attributes in all to be read";
    }
};

void watchedStartElement(void* context, const xmlChar* name, const xmlChar** attributes) {
    auto* parser = static_cast<htmlParserCtxtPtr>(context);
    auto* watch = static_cast<ReadingWatch*>(parser->_private);
    uint64_t count = 0;
    for (const xmlChar** a = attributes; a && *a; a += 2)
        ++count;
    // A tag that libxml2 waited for at the start of a piece was counted then as well.
    watch->addTag(count);
    if (!watch->refusal.empty()) {
        xmlStopParser(parser);
        return;
    }
    watch->startElement(context, name, attributes);
}

HTMLNode::Document refused(const std::string& refusal, Ref<plat::Error>* error) {
    if (error) {
        *error = plat::Error::withDescription(kHTMLParserErrorDomain, 2,
                                              "The page cannot be read: " + refusal);
    }
    return nullptr;
}

HTMLNode::Document parse(const char* bytes, size_t length, const char* base, int options,
                         Ref<plat::Error>* error) {
    if (std::string refusal = refusalOf(bytes, length); !refusal.empty())
        return refused(refusal, error);
    // libxml2 reads the page a piece at a time, so that what it does with each piece is bounded
    // and counted before the next: a start tag it waits for is counted before the piece that
    // ends it (so a tag of too many attributes is never read), other tags as they are read, and
    // the end tags and the "html" and "body" start tags of each piece at the depth of the open
    // elements.
    xmlSAXHandler handler{};
    xmlSAX2InitHtmlDefaultSAXHandler(&handler);
    ReadingWatch watch;
    watch.startElement = handler.startElement;
    handler.startElement = watchedStartElement;
    htmlParserCtxtPtr parser =
        htmlCreatePushParserCtxt(&handler, nullptr, nullptr, 0, base, XML_CHAR_ENCODING_NONE);
    if (!parser)
        return nullptr;
    const std::unique_ptr<htmlParserCtxt, void (*)(htmlParserCtxtPtr)> owner(parser,
                                                                             htmlFreeParserCtxt);
    parser->_private = &watch;
    // Long text runs are kept whole (libxml2 would stop at 10 MB and drop the rest of the page);
    // the page itself is bounded above.
    htmlCtxtUseOptions(parser, options | XML_PARSE_HUGE);
    if (xmlCharEncodingHandlerPtr utf8 = xmlFindCharEncodingHandler("UTF-8"))
        xmlSwitchToEncoding(parser, utf8);
    size_t counted = SIZE_MAX;  // the start tag counted last, by its offset
    for (size_t offset = 0; offset < length && watch.refusal.empty();) {
        const size_t piece = std::min(kReadingPiece, length - offset);
        // Where libxml2 stands: a start tag it waits for is counted before it is read.
        const xmlParserInputPtr input = parser->input;
        const size_t at = input ? static_cast<size_t>(input->consumed) +
                                      static_cast<size_t>(input->cur - input->base)
                                : length;
        if (at + 1 < length && at != counted && bytes[at] == '<' && isLetter(bytes[at + 1])) {
            counted = at;
            watch.addTag(attributesOfStartTag(bytes + at, bytes + length));
            if (!watch.refusal.empty())
                break;
        }
        const char* pieceBytes = bytes + offset;
        uint64_t lookups = 0;
        for (const char* p = pieceBytes; (p = static_cast<const char*>(std::memchr(
                                              p, '<', static_cast<size_t>(pieceBytes + piece - p))));
             ++p) {
            lookups +=
                (p + 1 < bytes + length && p[1] == '/') || isHtmlOrBodyStartTag(p, bytes + length);
        }
        const auto depthBefore = static_cast<uint64_t>(std::max(parser->nameNr, 0));
        if (htmlParseChunk(parser, pieceBytes, static_cast<int>(piece), 0) != 0 &&
            parser->disableSAX)
            break;
        offset += piece;
        const auto depth = std::max(depthBefore, static_cast<uint64_t>(std::max(parser->nameNr, 0)));
        if (depth > kMaxDepth) {
            watch.refusal = "its elements are nested deeper than " + std::to_string(kMaxDepth);
        } else if ((watch.lookupWork += lookups * depth) > kMaxLookupWork) {
            watch.refusal = "its tags take too much work to match with its open elements";
        }
    }
    if (watch.refusal.empty())
        htmlParseChunk(parser, nullptr, 0, 1);
    if (!watch.refusal.empty()) {
        if (parser->myDoc) {
            xmlFreeDoc(parser->myDoc);
            parser->myDoc = nullptr;
        }
        return refused(watch.refusal, error);
    }
    htmlDocPtr document = parser->myDoc;
    parser->myDoc = nullptr;
    if (!document)
        return nullptr;
    return HTMLNode::Document(document, [](xmlDoc* d) { xmlFreeDoc(d); });
}

}  // namespace

template <class Visit>
void HTMLNode::walk(Visit&& visit) const {
    if (!node_)
        return;
    // Depth first, in document order: a node, its descendants, then its next sibling.
    xmlNodePtr current = node_->children;
    while (current) {
        if (!visit(current))
            return;
        if (current->children && current->type != XML_ENTITY_REF_NODE) {
            current = current->children;
            continue;
        }
        while (current && !current->next) {
            current = current->parent;
            if (current == node_)
                return;
        }
        if (current)
            current = current->next;
    }
}

Ref<HTMLNode> HTMLNode::wrap(xmlNodePtr node) const {
    return node ? std::make_shared<HTMLNode>(document_, node) : nullptr;
}

Ref<HTMLNode> HTMLNode::parent() const {
    return node_ ? wrap(node_->parent) : nullptr;
}
Ref<HTMLNode> HTMLNode::nextSibling() const {
    return node_ ? wrap(node_->next) : nullptr;
}
Ref<HTMLNode> HTMLNode::previousSibling() const {
    return node_ ? wrap(node_->prev) : nullptr;
}
Ref<HTMLNode> HTMLNode::firstChild() const {
    return node_ ? wrap(node_->children) : nullptr;
}

std::vector<Ref<HTMLNode>> HTMLNode::children() const {
    std::vector<Ref<HTMLNode>> list;
    for (xmlNodePtr child = node_ ? node_->children : nullptr; child; child = child->next)
        list.push_back(wrap(child));
    return list;
}

std::optional<std::string> HTMLNode::tagName() const {
    if (!node_ || !node_->name)
        return std::nullopt;
    return utf8(node_->name);
}

std::optional<std::string> HTMLNode::getAttributeNamed(const std::string& name) const {
    const xmlAttrPtr attribute = node_ ? attributeNamed(node_, name) : nullptr;
    if (!attribute || !attribute->children || !attribute->children->content)
        return std::nullopt;
    return utf8(attribute->children->content);
}

std::optional<std::string> HTMLNode::contents() const {
    if (!node_ || !node_->children || !node_->children->content)
        return std::nullopt;
    return utf8(node_->children->content);
}

std::string HTMLNode::allContents() const {
    if (!node_)
        return "";
    xmlChar* text = xmlNodeGetContent(node_);
    std::string out = utf8(text);
    xmlFree(text);
    return out;
}

std::optional<std::string> HTMLNode::rawContents() const {
    if (!node_)
        return std::nullopt;
    xmlBufferPtr buffer = xmlBufferCreateSize(1000);
    if (!buffer)
        return std::nullopt;
    htmlNodeDump(buffer, document_.get(), node_);
    std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return out;
}

int32_t HTMLNode::nodetype() const {
    if (!node_ || !node_->name)
        return HTMLUnkownNode;
    static const std::pair<const char*, int32_t> kTypes[] = {
        {"a", HTMLHrefNode},        {"text", HTMLTextNode},   {"code", HTMLCodeNode},
        {"span", HTMLSpanNode},     {"p", HTMLPNode},         {"ul", HTMLUlNode},
        {"li", HTMLLiNode},         {"image", HTMLImageNode}, {"ol", HTMLOlNode},
        {"strong", HTMLStrongNode}, {"pre", HTMLPreNode},     {"blockquote", HTMLBlockQuoteNode},
    };
    for (const auto& [name, type] : kTypes) {
        if (std::strcmp(reinterpret_cast<const char*>(node_->name), name) == 0)
            return type;
    }
    return HTMLUnkownNode;
}

Ref<HTMLNode> HTMLNode::findChildTag(const std::string& tagName) const {
    xmlNodePtr found = nullptr;
    walk([&](xmlNodePtr node) {
        if (nameIs(node, tagName))
            found = node;
        return !found;
    });
    return wrap(found);
}

std::vector<Ref<HTMLNode>> HTMLNode::findChildTags(const std::string& tagName) const {
    std::vector<Ref<HTMLNode>> list;
    walk([&](xmlNodePtr node) {
        if (nameIs(node, tagName))
            list.push_back(wrap(node));
        return true;
    });
    return list;
}

Ref<HTMLNode> HTMLNode::findChildWithAttribute(const std::string& attribute,
                                               const std::string& name, bool allowPartial) const {
    xmlNodePtr found = nullptr;
    walk([&](xmlNodePtr node) {
        if (attributeMatches(node, attribute, name, allowPartial))
            found = node;
        return !found;
    });
    return wrap(found);
}

std::vector<Ref<HTMLNode>> HTMLNode::findChildrenWithAttribute(const std::string& attribute,
                                                               const std::string& name,
                                                               bool allowPartial) const {
    std::vector<Ref<HTMLNode>> list;
    walk([&](xmlNodePtr node) {
        if (attributeMatches(node, attribute, name, allowPartial))
            list.push_back(wrap(node));
        return true;
    });
    return list;
}

void setAttributeNamed(xmlNodePtr node, const char* name, const char* value) {
    const xmlAttrPtr attribute = node ? attributeNamed(node, name) : nullptr;
    if (!attribute || !attribute->children)
        return;
    xmlNodeSetContent(attribute->children, reinterpret_cast<const xmlChar*>(value));
}

Ref<HTMLParser> HTMLParser::initWithString(const std::string& string, Ref<plat::Error>* error) {
    auto parser = std::make_shared<HTMLParser>();
    if (string.empty()) {
        if (error)
            *error = plat::Error::make(kHTMLParserErrorDomain, 1);
        return parser;
    }
    parser->document_ = parse(
        string.data(), string.size(), nullptr,
        HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET, error);
    return parser;
}

Ref<HTMLParser> HTMLParser::initWithData(const std::optional<plat::Bytes>& data,
                                         Ref<plat::Error>* error) {
    auto parser = std::make_shared<HTMLParser>();
    if (!data || data->empty()) {
        if (error)
            *error = plat::Error::make(kHTMLParserErrorDomain, 1);
        return parser;
    }
    parser->document_ = parse(reinterpret_cast<const char*>(data->data()), data->size(), "",
                              HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET, error);
    return parser;
}

Ref<HTMLParser> HTMLParser::initWithContentsOfURL(const plat::Url& url, Ref<plat::Error>* error) {
    if (url.scheme() != "file") {
        if (error) {
            *error = plat::Error::withDescription("NSCocoaErrorDomain", 262,
                                                  "Only file URLs can be read here.");
        }
        return nullptr;
    }
    const std::string path = plat::Url::percentDecode(url.path()).value_or(url.path());
    Ref<plat::Error> readError;
    auto file = plat::FileHandle::openForReading(path, &readError);
    std::optional<plat::Bytes> data;
    const auto size = plat::FileManager::fileSize(path);
    if (file && size)
        data = file->readDataOfLength(static_cast<size_t>(*size), &readError);
    if (!data || readError) {
        if (error)
            *error = readError;
        return nullptr;
    }
    return initWithData(data, error);
}

Ref<HTMLNode> HTMLParser::doc() const {
    return document_ ? std::make_shared<HTMLNode>(document_,
                                                  reinterpret_cast<xmlNodePtr>(document_.get()))
                     : nullptr;
}

Ref<HTMLNode> HTMLParser::html() const {
    const auto root = doc();
    return root ? root->findChildTag("html") : nullptr;
}

Ref<HTMLNode> HTMLParser::body() const {
    const auto root = doc();
    return root ? root->findChildTag("body") : nullptr;
}
