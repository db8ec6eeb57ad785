#pragma once
// KxJsonStreamParserAccumulator: keeps the last top-level array or object that the adapter
// hands on; the parser facade answers it as the result of a parse.
#include "platform/core/Value.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAdapter.h"

class KxJsonStreamParserAccumulator : public plat::Object,
                                      public KxJsonStreamParserAdapterDelegate {
    PLAT_CLASS(KxJsonStreamParserAccumulator)
  public:
    const plat::Value& value() const { return value_; }

    void parserFoundArray(KxJsonStreamParser& parser, const plat::Value& array) override;
    void parserFoundObject(KxJsonStreamParser& parser, const plat::Value& object) override;

  private:
    plat::Value value_;
};
