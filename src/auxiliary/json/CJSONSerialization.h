#pragma once
// CJSONSerialization: class methods in the manner of the platform's JSON serialization class,
// writing through CJSONSerializer and reading through CJSONDeserializer.
#include "auxiliary/json/CJSONDeserializer.h"
#include "auxiliary/json/CJSONSerializer.h"
#include "platform/storage/InputStream.h"
#include "platform/storage/OutputStream.h"

enum CJSONReadingOptions : uint64_t {
    kCJSONReadingMutableContainers = 1,
    kCJSONReadingMutableLeaves = 2,
    kCJSONReadingAllowFragments = 4,
};

class CJSONSerialization {
  public:
    static bool isValidJSONObject(const plat::Value& object);
    // The options are ignored.
    static std::optional<plat::Bytes> dataWithJSONObject(const plat::Value& object,
                                                         uint64_t options, Ref<plat::Error>* error);
    // Mutable containers and leaves map onto the scanner's options; any top-level value is read.
    static plat::Value JSONObjectWithData(const plat::Bytes& data, uint64_t options,
                                          Ref<plat::Error>* error);
    // Writes every byte (several writes when the stream takes fewer at a time); the count
    // written, or -1 when serializing or writing fails.
    static int64_t writeJSONObject(const plat::Value& object, plat::OutputStream& stream,
                                   uint64_t options, Ref<plat::Error>* error);
    // Reading from streams is not offered: always nil.
    static plat::Value JSONObjectWithStream(plat::InputStream* stream, uint64_t options,
                                            Ref<plat::Error>* error);
};
