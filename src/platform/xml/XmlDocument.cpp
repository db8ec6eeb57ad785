#include "platform/xml/XmlDocument.h"

#include "platform/xml/XmlReading.h"

namespace plat {
namespace {

std::string qualifiedName(xmlNodePtr node) {
    const std::string local = reinterpret_cast<const char*>(node->name);
    if (node->ns && node->ns->prefix)
        return reinterpret_cast<const char*>(node->ns->prefix) + (":" + local);
    return local;
}

// Copies libxml2's tree into ours (iteratively: a deep document must not exhaust the stack).
std::shared_ptr<XmlNode> copyTree(xmlNodePtr top) {
    auto root = std::make_shared<XmlNode>();
    std::vector<std::pair<xmlNodePtr, XmlNode*>> pending{{top, root.get()}};
    while (!pending.empty()) {
        auto [source, target] = pending.back();
        pending.pop_back();
        target->name = qualifiedName(source);
        for (xmlAttrPtr a = source->properties; a; a = a->next) {
            xmlChar* value = xmlNodeListGetString(source->doc, a->children, 1);
            target->attributes.emplace_back(reinterpret_cast<const char*>(a->name),
                                            value ? reinterpret_cast<const char*>(value) : "");
            xmlFree(value);
        }
        for (xmlNodePtr child = source->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE) {
                auto node = std::make_shared<XmlNode>();
                target->children.push_back(node);
                pending.emplace_back(child, node.get());
            } else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
                auto node = std::make_shared<XmlNode>();
                node->kind = XmlNode::Kind::Text;
                node->text = child->content ? reinterpret_cast<const char*>(child->content) : "";
                target->children.push_back(std::move(node));
            }
        }
    }
    return root;
}

}  // namespace

PLAT_DEFINE_CLASS(XmlDocument, Object, PLAT_NO_METHODS)

std::string XmlNode::stringValue() const {
    if (kind == Kind::Text)
        return text;
    std::string out;
    std::vector<const XmlNode*> pending{this};
    while (!pending.empty()) {
        const XmlNode* node = pending.back();
        pending.pop_back();
        if (node->kind == Kind::Text) {
            out += node->text;
            continue;
        }
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            pending.push_back(it->get());
    }
    return out;
}

std::shared_ptr<XmlNode> XmlNode::firstChildNamed(std::string_view wanted) const {
    for (const auto& child : children) {
        if (child->kind == Kind::Element && child->name == wanted)
            return child;
    }
    return nullptr;
}

Ref<XmlDocument> XmlDocument::make(const Bytes& data, int, Ref<Error>* error) {
    xmlSAXHandler handlers{};
    xmlSAXVersion(&handlers, 2);
    xmlDocPtr document = nullptr;
    Ref<Error> failure = xml_reading::parse(data, handlers, nullptr, &document);
    if (!failure && (!document || !xmlDocGetRootElement(document))) {
        failure = Error::withDescription(xml_reading::kXmlErrorDomain, 4,
                                         "The document has no root element.");
    }
    if (failure) {
        if (document)
            xmlFreeDoc(document);
        if (error)
            *error = failure;
        return nullptr;
    }
    auto result = std::make_shared<XmlDocument>();
    result->root_ = copyTree(xmlDocGetRootElement(document));
    xmlFreeDoc(document);
    return result;
}

}  // namespace plat
