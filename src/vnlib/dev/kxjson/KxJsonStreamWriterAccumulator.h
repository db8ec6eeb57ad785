#pragma once
// KxJsonStreamWriterAccumulator: the byte sink of a stream writer; collects everything written
// in data().
#include "platform/core/Value.h"
#include "vnlib/dev/kxjson/KxJsonStreamWriter.h"

class KxJsonStreamWriterAccumulator : public plat::Object, public KxJsonStreamWriterDelegate {
    PLAT_CLASS(KxJsonStreamWriterAccumulator)
  public:
    KxJsonStreamWriterAccumulator();

    const plat::Bytes& data() const { return data_; }
    plat::Bytes takeData() { return std::move(data_); }

    void writerAppendBytes(KxJsonStreamWriter& writer, const uint8_t* bytes,
                           size_t length) override;

  private:
    plat::Bytes data_;
};
