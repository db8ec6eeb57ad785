#pragma once
// plat::XmlDocument: a whole XML document parsed into a tree of elements and text, read from
// bytes held in memory under the same rules as plat::XmlParser (entity declarations refused, no
// network or file access, libxml2's size limits).
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

namespace plat {

struct XmlNode {
    enum class Kind { Element, Text };
    Kind kind = Kind::Element;
    std::string name;  // elements: the qualified name
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::shared_ptr<XmlNode>> children;
    std::string text;  // text nodes (and CDATA)

    // The text of the node and all its descendants, in order.
    std::string stringValue() const;
    std::shared_ptr<XmlNode> firstChildNamed(std::string_view name) const;
};

class XmlDocument : public Object {
    PLAT_CLASS(XmlDocument)
  public:
    XmlDocument() = default;
    // The document in the bytes; null with the parse error when they hold none.
    static Ref<XmlDocument> make(const Bytes& data, int options, Ref<Error>* error);
    const std::shared_ptr<XmlNode>& rootElement() const { return root_; }

  private:
    std::shared_ptr<XmlNode> root_;
};

}  // namespace plat
