#include "vnlib/dev/kxjson/KxJsonStreamWriterAccumulator.h"

PLAT_DEFINE_CLASS(KxJsonStreamWriterAccumulator, plat::Object, PLAT_NO_METHODS)

KxJsonStreamWriterAccumulator::KxJsonStreamWriterAccumulator() {
    data_.reserve(8096);
}

void KxJsonStreamWriterAccumulator::writerAppendBytes(KxJsonStreamWriter&, const uint8_t* bytes,
                                                      size_t length) {
    data_.insert(data_.end(), bytes, bytes + length);
}
