#include "auxiliary/json/CJSONSerialization.h"

bool CJSONSerialization::isValidJSONObject(const plat::Value& object) {
    return CJSONSerializer::serializer()->isValidJSONObject(object);
}

std::optional<plat::Bytes> CJSONSerialization::dataWithJSONObject(const plat::Value& object,
                                                                  uint64_t,
                                                                  Ref<plat::Error>* error) {
    return CJSONSerializer::serializer()->serializeObject(object, error);
}

plat::Value CJSONSerialization::JSONObjectWithData(const plat::Bytes& data, uint64_t options,
                                                   Ref<plat::Error>* error) {
    auto deserializer = CJSONDeserializer::deserializer();
    uint64_t scannerOptions = 0;
    if (options & kCJSONReadingMutableContainers)
        scannerOptions |= kJSONScannerOptions_MutableContainers;
    if (options & kCJSONReadingMutableLeaves)
        scannerOptions |= kJSONScannerOptions_MutableLeaves;
    deserializer->setOptions(scannerOptions);
    return deserializer->deserialize(&data, error);
}

int64_t CJSONSerialization::writeJSONObject(const plat::Value& object, plat::OutputStream& stream,
                                            uint64_t options, Ref<plat::Error>* error) {
    const auto data = dataWithJSONObject(object, options, error);
    if (!data)
        return -1;
    size_t written = 0;
    while (written < data->size()) {
        const int64_t n = stream.write(data->data() + written, data->size() - written);
        if (n <= 0)
            return -1;
        written += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(written);
}

plat::Value CJSONSerialization::JSONObjectWithStream(plat::InputStream*, uint64_t,
                                                     Ref<plat::Error>*) {
    return {};
}
