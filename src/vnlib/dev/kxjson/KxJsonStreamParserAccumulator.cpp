#include "vnlib/dev/kxjson/KxJsonStreamParserAccumulator.h"

PLAT_DEFINE_CLASS(KxJsonStreamParserAccumulator, plat::Object, PLAT_NO_METHODS)

void KxJsonStreamParserAccumulator::parserFoundArray(KxJsonStreamParser&,
                                                     const plat::Value& array) {
    value_ = array;
}

void KxJsonStreamParserAccumulator::parserFoundObject(KxJsonStreamParser&,
                                                      const plat::Value& object) {
    value_ = object;
}
