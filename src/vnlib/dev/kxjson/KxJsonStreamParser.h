#pragma once
// KxJsonStreamParser: an event parser for UTF-8 JSON text that may arrive in pieces. Each parse()
// appends bytes and reports the events found so far to the delegate (container starts and ends,
// keys, strings, numbers, booleans, nulls); it answers whether the outermost array or object is
// complete, whether more bytes are needed, or that the text is in error (error() says why). A
// token cut off by the end of the bytes is finished when more arrive; reading in pieces costs
// about what reading at once does. Only an array or an
// object may stand at the top level, and containers nest at most maxDepth() deep (32).
//
//   auto parser = std::make_shared<KxJsonStreamParser>();
//   parser->setDelegate(adapter);
//   if (parser->parse(bytes.data(), bytes.size()) == KxJsonStreamParserError) ...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Object.h"
#include "platform/core/Value.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserState.h"
#include "vnlib/dev/kxjson/KxJsonTokeniser.h"

// The events of a parse, in document order.
class KxJsonStreamParserDelegate {
  public:
    virtual ~KxJsonStreamParserDelegate() = default;
    virtual void parserFoundObjectStart(KxJsonStreamParser& parser) = 0;
    virtual void parserFoundObjectKey(KxJsonStreamParser& parser, const std::string& key) = 0;
    virtual void parserFoundObjectEnd(KxJsonStreamParser& parser) = 0;
    virtual void parserFoundArrayStart(KxJsonStreamParser& parser) = 0;
    virtual void parserFoundArrayEnd(KxJsonStreamParser& parser) = 0;
    virtual void parserFoundBoolean(KxJsonStreamParser& parser, bool value) = 0;
    virtual void parserFoundNull(KxJsonStreamParser& parser) = 0;
    // A number: a signed 64-bit integer, a decimal number, or a signed zero.
    virtual void parserFoundNumber(KxJsonStreamParser& parser, const plat::Value& number) = 0;
    virtual void parserFoundString(KxJsonStreamParser& parser, const std::string& string) = 0;
};

class KxJsonStreamParser : public plat::Object {
    PLAT_CLASS(KxJsonStreamParser)
  public:
    KxJsonStreamParser();

    // Not owned: events to a delegate that is gone are dropped.
    const WeakRef<KxJsonStreamParserDelegate>& delegate() const { return delegate_; }
    void setDelegate(WeakRef<KxJsonStreamParserDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // The deepest nesting of arrays and objects accepted; 32 at creation, never more than
    // kMaxDepthCeiling (a larger setting is lowered to it).
    static constexpr size_t kMaxDepthCeiling = 512;
    size_t maxDepth() const { return maxDepth_; }
    void setMaxDepth(size_t maxDepth) { maxDepth_ = std::min(maxDepth, kMaxDepthCeiling); }
    // Whether further documents may follow the first one (each reaches the delegate in turn).
    bool supportMultipleDocuments() const { return supportMultipleDocuments_; }
    void setSupportMultipleDocuments(bool support) { supportMultipleDocuments_ = support; }

    // The reason of the failure; none while the parser is not in error.
    const std::optional<std::string>& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    // Appends the bytes and reads on from where the previous parse stopped. Once in error, the
    // parser stays in error.
    KxJsonStreamParserStatus parse(const uint8_t* bytes, size_t length);
    KxJsonStreamParserStatus parse(std::string_view text) {
        return parse(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }

    // The current state and the states of the enclosing containers (used by the states).
    const KxJsonStreamParserState* state() const { return state_; }
    void setState(const KxJsonStreamParserState* state) { state_ = state; }
    const std::vector<const KxJsonStreamParserState*>& stateStack() const { return stateStack_; }

  private:
    KxJsonStreamParserStatus fail(std::string error);

    WeakRef<KxJsonStreamParserDelegate> delegate_;
    const KxJsonStreamParserState* state_;
    std::vector<const KxJsonStreamParserState*> stateStack_;
    size_t maxDepth_ = 32;
    bool supportMultipleDocuments_ = false;
    std::optional<std::string> error_;
    KxJsonTokeniser tokeniser_;
};
