#pragma once
// plat::XmlParser: an event-driven XML parser over bytes held in memory. It does nothing until
// parse() runs; then the delegate hears the elements, text and the first error, in order, on the
// calling thread. Entity declarations are refused (an error), and nothing is ever read from the
// network or from files. abortParsing() stops a parse in progress; setting no delegate stops
// the events.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

namespace plat {

class XmlParser;

class XmlParserDelegate {
  public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;
    virtual ~XmlParserDelegate() = default;
    virtual void didStartElement(XmlParser&, const std::string& /*name*/,
                                 const Attributes& /*attributes*/) {}
    virtual void didEndElement(XmlParser&, const std::string& /*name*/) {}
    virtual void foundCharacters(XmlParser&, const std::string& /*text*/) {}
    virtual void parseErrorOccurred(XmlParser&, const Ref<Error>& /*error*/) {}
};

class XmlParser : public Object {
    PLAT_CLASS(XmlParser)
  public:
    XmlParser() = default;
    static Ref<XmlParser> make(Bytes data);

    WeakRef<XmlParserDelegate> delegate() const { return delegate_; }
    void setDelegate(WeakRef<XmlParserDelegate> delegate) { delegate_ = std::move(delegate); }
    bool hasDelegate() const { return !delegate_.expired(); }

    // True when the whole document parsed.
    bool parse();
    void abortParsing() { aborted_ = true; }
    Ref<Error> parserError() const { return error_; }
    const Bytes& data() const { return data_; }

  private:
    friend struct XmlParserEvents;
    Bytes data_;
    WeakRef<XmlParserDelegate> delegate_;
    bool aborted_ = false;
    Ref<Error> error_;
};

}  // namespace plat
