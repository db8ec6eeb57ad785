// Feeds arbitrary bytes to the lenient JSON scanner, with the default and the nil null object and
// strict escapes on and off (the first byte chooses); whatever it accepts must be written by the
// serializer and read back to an equal value (numbers by value).
#include <cstddef>
#include <cstdint>

#include "auxiliary/json/CJSONDeserializer.h"
#include "auxiliary/json/CJSONSerializer.h"

namespace {

Ref<CJSONDeserializer> makeDeserializer(uint8_t mode) {
    auto deserializer = CJSONDeserializer::deserializer();
    if (mode & 1)
        deserializer->setNullObject(plat::Value());
    deserializer->scanner()->setStrictEscapeCodes(mode & 2);
    if (mode & 4)
        deserializer->setOptions(kJSONScannerOptions_MutableContainers);
    return deserializer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    const plat::Bytes input(data + 1, data + size);
    Ref<plat::Error> error;
    const plat::Value value = makeDeserializer(mode)->deserialize(&input, &error);
    if (value.isNil()) {
        if (!error && !(mode & 1))
            __builtin_trap();  // a failure says why; only a nil null object makes nil silently
        return 0;
    }
    const auto written = CJSONSerializer::serializer()->serializeObject(value, &error);
    if (!written)
        __builtin_trap();
    const plat::Value back = makeDeserializer(mode)->deserialize(&*written, &error);
    if (back.isNil() || !back.equals(value))
        __builtin_trap();
    return 0;
}
