#pragma once
// KxJsonStreamParserAdapter: turns the stream parser's events into values. Objects become
// mutable dictionaries (a repeated key keeps its last value), arrays mutable arrays, strings
// strings, true and false the shared booleans, null the null value. Each finished top-level
// array or object goes to the delegate; with levelsToSkip() above 0 the outer levels are not
// built, and the values inside them reach the delegate one by one instead.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "vnlib/dev/kxjson/KxJsonStreamParser.h"

class KxJsonStreamParserAdapterDelegate {
  public:
    virtual ~KxJsonStreamParserAdapterDelegate() = default;
    virtual void parserFoundArray(KxJsonStreamParser& parser, const plat::Value& array) = 0;
    // An object, or (below skipped levels) any other value.
    virtual void parserFoundObject(KxJsonStreamParser& parser, const plat::Value& object) = 0;
};

class KxJsonStreamParserAdapter : public plat::Object, public KxJsonStreamParserDelegate {
    PLAT_CLASS(KxJsonStreamParserAdapter)
  public:
    KxJsonStreamParserAdapter();

    // Not owned.
    const WeakRef<KxJsonStreamParserAdapterDelegate>& delegate() const { return delegate_; }
    void setDelegate(WeakRef<KxJsonStreamParserAdapterDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    // How many outer levels of containers are not built; 0 by default.
    size_t levelsToSkip() const { return levelsToSkip_; }
    void setLevelsToSkip(size_t levels) { levelsToSkip_ = levels; }

    void parserFoundObjectStart(KxJsonStreamParser& parser) override;
    void parserFoundObjectKey(KxJsonStreamParser& parser, const std::string& key) override;
    void parserFoundObjectEnd(KxJsonStreamParser& parser) override;
    void parserFoundArrayStart(KxJsonStreamParser& parser) override;
    void parserFoundArrayEnd(KxJsonStreamParser& parser) override;
    void parserFoundBoolean(KxJsonStreamParser& parser, bool value) override;
    void parserFoundNull(KxJsonStreamParser& parser) override;
    void parserFoundNumber(KxJsonStreamParser& parser, const plat::Value& number) override;
    void parserFoundString(KxJsonStreamParser& parser, const std::string& string) override;

  private:
    void startContainer(plat::Value container);
    void endContainer(KxJsonStreamParser& parser);
    void addValue(KxJsonStreamParser& parser, plat::Value value);

    WeakRef<KxJsonStreamParserAdapterDelegate> delegate_;
    size_t levelsToSkip_ = 0;
    size_t depth_ = 0;
    std::vector<plat::Value> stack_;  // the containers being built, innermost last
    std::vector<plat::Value> keyStack_;
    Ref<plat::MutableArray> array_;  // the current container: at most one of the two is set
    Ref<plat::MutableDictionary> dict_;
};
