#include "vnlib/dev/json/JSONKitDeserializing.h"

namespace {

const char* bytesOf(std::string_view string) {
    return string.data() ? string.data() : "";
}

plat::Value parseOnce(std::string_view text, JKParseOptionFlags options, bool mutableCollections,
                      Ref<plat::Error>* error) {
    JSONDecoder decoder(options);
    plat::Value result =
        mutableCollections ? decoder.mutableObjectWithUTF8String(bytesOf(text), text.size(), error)
                           : decoder.objectWithUTF8String(bytesOf(text), text.size(), error);
    decoder.releaseState();
    return result;
}

std::string_view viewOf(const plat::Bytes& data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

}  // namespace

plat::Value objectFromJSONString(std::string_view string) {
    return parseOnce(string, 0, false, nullptr);
}

plat::Value objectFromJSONStringWithParseOptions(std::string_view string,
                                                 JKParseOptionFlags parseOptionFlags,
                                                 Ref<plat::Error>* error) {
    return parseOnce(string, parseOptionFlags, false, error);
}

plat::Value mutableObjectFromJSONString(std::string_view string) {
    return parseOnce(string, 0, true, nullptr);
}

plat::Value mutableObjectFromJSONStringWithParseOptions(std::string_view string,
                                                        JKParseOptionFlags parseOptionFlags,
                                                        Ref<plat::Error>* error) {
    return parseOnce(string, parseOptionFlags, true, error);
}

plat::Value objectFromJSONData(const plat::Bytes& data) {
    return parseOnce(viewOf(data), 0, false, nullptr);
}

plat::Value objectFromJSONDataKeepingText(plat::Bytes data) {
    JSONDecoder decoder;
    plat::Value result = decoder.objectKeepingText(std::move(data));
    decoder.releaseState();
    return result;
}

plat::Value objectFromJSONDataWithParseOptions(const plat::Bytes& data,
                                               JKParseOptionFlags parseOptionFlags,
                                               Ref<plat::Error>* error) {
    return parseOnce(viewOf(data), parseOptionFlags, false, error);
}

plat::Value mutableObjectFromJSONData(const plat::Bytes& data) {
    return parseOnce(viewOf(data), 0, true, nullptr);
}

plat::Value mutableObjectFromJSONDataWithParseOptions(const plat::Bytes& data,
                                                      JKParseOptionFlags parseOptionFlags,
                                                      Ref<plat::Error>* error) {
    return parseOnce(viewOf(data), parseOptionFlags, true, error);
}
