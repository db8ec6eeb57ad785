#pragma once
// HTMLParser and HTMLNode: an HTML document read by libxml2's HTML parser, and views on its
// nodes with navigation, tag and attribute searches and text. Every node shares the document,
// so a node stays usable after its parser is gone. Searches walk the tree without recursion, so
// deep documents cannot exhaust the stack. Pages over 256 MiB, pages with a start tag of more
// than 10,000 attributes (which libxml2 reads in quadratic time), pages whose tags together
// cost more of that work than one such tag (or hold over 1,000,000 attributes), pages nested
// over 10,000 deep and pages whose end tags and "html" and "body" start tags cost as much to
// match with the open elements are refused with error 2 in "HTMLParserdomain": a first pass
// reads the page as libxml2 does, and libxml2 then reads it a piece at a time under the same
// bounds, its start tags counted as it reads them. Text runs of any length are kept whole.
#include <libxml/HTMLparser.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"
#include "platform/net/Url.h"

inline constexpr const char* kHTMLParserErrorDomain = "HTMLParserdomain";

enum HTMLNodeType : int32_t {
    HTMLHrefNode = 0,
    HTMLTextNode = 1,
    HTMLUnkownNode = 2,
    HTMLCodeNode = 3,
    HTMLSpanNode = 4,
    HTMLPNode = 5,
    HTMLLiNode = 6,
    HTMLUlNode = 7,
    HTMLImageNode = 8,
    HTMLOlNode = 9,
    HTMLStrongNode = 10,
    HTMLPreNode = 11,
    HTMLBlockQuoteNode = 12,
};

class HTMLNode : public plat::Object {
    PLAT_CLASS(HTMLNode)
  public:
    using Document = std::shared_ptr<xmlDoc>;
    HTMLNode() = default;
    HTMLNode(Document document, xmlNodePtr node) : document_(std::move(document)), node_(node) {}

    Ref<HTMLNode> parent() const;
    Ref<HTMLNode> nextSibling() const;
    Ref<HTMLNode> previousSibling() const;
    Ref<HTMLNode> firstChild() const;
    std::vector<Ref<HTMLNode>> children() const;
    std::optional<std::string> tagName() const;
    std::optional<std::string> getAttributeNamed(const std::string& name) const;
    std::optional<std::string> className() const { return getAttributeNamed("class"); }
    std::optional<std::string> contents() const;
    std::string allContents() const;
    std::optional<std::string> rawContents() const;
    int32_t nodetype() const;

    Ref<HTMLNode> findChildTag(const std::string& tagName) const;
    std::vector<Ref<HTMLNode>> findChildTags(const std::string& tagName) const;
    Ref<HTMLNode> findChildWithAttribute(const std::string& attribute, const std::string& name,
                                         bool allowPartial) const;
    std::vector<Ref<HTMLNode>> findChildrenWithAttribute(const std::string& attribute,
                                                         const std::string& name,
                                                         bool allowPartial) const;
    Ref<HTMLNode> findChildOfClass(const std::string& className) const {
        return findChildWithAttribute("class", className, false);
    }
    std::vector<Ref<HTMLNode>> findChildrenOfClass(const std::string& className) const {
        return findChildrenWithAttribute("class", className, false);
    }

    xmlNodePtr xmlNode() const { return node_; }

  private:
    Ref<HTMLNode> wrap(xmlNodePtr node) const;
    // The descendants in document order (depth first), each offered to `visit` until it answers
    // false.
    template <class Visit>
    void walk(Visit&& visit) const;

    Document document_;
    xmlNodePtr node_ = nullptr;
};

// Replaces the text of the node's first attribute of that name (when it has a text child).
void setAttributeNamed(xmlNodePtr node, const char* name, const char* value);

class HTMLParser : public plat::Object {
    PLAT_CLASS(HTMLParser)
  public:
    HTMLParser() = default;
    // An empty string, or no or empty data: error 1 in "HTMLParserdomain", and a parser with no
    // document.
    static Ref<HTMLParser> initWithString(const std::string& string, Ref<plat::Error>* error);
    static Ref<HTMLParser> initWithData(const std::optional<plat::Bytes>& data,
                                        Ref<plat::Error>* error);
    // Reads a file URL; null with the read error when it cannot be read.
    static Ref<HTMLParser> initWithContentsOfURL(const plat::Url& url, Ref<plat::Error>* error);

    Ref<HTMLNode> doc() const;
    Ref<HTMLNode> html() const;
    Ref<HTMLNode> body() const;

  private:
    HTMLNode::Document document_;
};
