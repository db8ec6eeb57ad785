#include "vnlib/dev/json/JSONKitSerializing.h"

#include <utility>

using plat::Value;

namespace {

std::optional<std::string> serializedText(const Value& object, JKSerializeOptionFlags options,
                                          JKEncodeOptionType encodeOption,
                                          JKSerializeUnsupportedClassBlock block,
                                          Ref<plat::Object> delegate, plat::Selector selector,
                                          Ref<plat::Error>* error) {
    return JKSerializer::serializeObjectToString(object, options, encodeOption, std::move(block),
                                                 std::move(delegate), selector, error);
}

std::optional<plat::Bytes> bytes(std::optional<std::string> text) {
    if (!text)
        return std::nullopt;
    return plat::Bytes(text->begin(), text->end());
}

Value stringValue(std::string_view string) {
    return Value(std::string(string));
}

constexpr JKEncodeOptionType kStringObject = JKEncodeOptionStringObj;
constexpr JKEncodeOptionType kCollection = JKEncodeOptionCollectionObj;
constexpr JKEncodeOptionType kData = JKEncodeOptionResultData;
constexpr JKEncodeOptionType kText = JKEncodeOptionResultString;

JKEncodeOptionType quotes(bool includeQuotes) {
    return includeQuotes ? 0 : JKEncodeOptionStringObjTrimQuotes;
}

}  // namespace

// ---- Strings ----

std::optional<plat::Bytes> JSONData(std::string_view string) {
    return bytes(
        serializedText(stringValue(string), 0, kStringObject | kData, {}, {}, {}, nullptr));
}

std::optional<plat::Bytes> JSONDataWithOptions(std::string_view string,
                                               JKSerializeOptionFlags serializeOptions,
                                               bool includeQuotes, Ref<plat::Error>* error) {
    return bytes(serializedText(stringValue(string), serializeOptions,
                                kStringObject | kData | quotes(includeQuotes), {}, {}, {}, error));
}

std::optional<std::string> JSONString(std::string_view string) {
    return serializedText(stringValue(string), 0, kStringObject | kText, {}, {}, {}, nullptr);
}

std::optional<std::string> JSONStringWithOptions(std::string_view string,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 bool includeQuotes, Ref<plat::Error>* error) {
    return serializedText(stringValue(string), serializeOptions,
                          kStringObject | kText | quotes(includeQuotes), {}, {}, {}, error);
}

// ---- Arrays and dictionaries ----

#define VARNEL_JSON_COLLECTION_WRITERS(Collection)                                                \
    std::optional<plat::Bytes> JSONData(const Ref<Collection>& collection) {                      \
        return bytes(                                                                             \
            serializedText(Value(collection), 0, kCollection | kData, {}, {}, {}, nullptr));      \
    }                                                                                             \
    std::optional<plat::Bytes> JSONDataWithOptions(const Ref<Collection>& collection,             \
                                                   JKSerializeOptionFlags serializeOptions,       \
                                                   Ref<plat::Error>* error) {                     \
        return bytes(serializedText(Value(collection), serializeOptions, kCollection | kData, {}, \
                                    {}, {}, error));                                              \
    }                                                                                             \
    std::optional<plat::Bytes> JSONDataWithOptions(                                               \
        const Ref<Collection>& collection, JKSerializeOptionFlags serializeOptions,               \
        Ref<plat::Object> delegate, plat::Selector selector, Ref<plat::Error>* error) {           \
        return bytes(serializedText(Value(collection), serializeOptions, kCollection | kData, {}, \
                                    std::move(delegate), selector, error));                       \
    }                                                                                             \
    std::optional<plat::Bytes> JSONDataWithOptions(                                               \
        const Ref<Collection>& collection, JKSerializeOptionFlags serializeOptions,               \
        JKSerializeUnsupportedClassBlock block, Ref<plat::Error>* error) {                        \
        return bytes(serializedText(Value(collection), serializeOptions, kCollection | kData,     \
                                    std::move(block), {}, {}, error));                            \
    }                                                                                             \
    std::optional<std::string> JSONString(const Ref<Collection>& collection) {                    \
        return serializedText(Value(collection), 0, kCollection | kText, {}, {}, {}, nullptr);    \
    }                                                                                             \
    std::optional<std::string> JSONStringWithOptions(const Ref<Collection>& collection,           \
                                                     JKSerializeOptionFlags serializeOptions,     \
                                                     Ref<plat::Error>* error) {                   \
        return serializedText(Value(collection), serializeOptions, kCollection | kText, {}, {},   \
                              {}, error);                                                         \
    }                                                                                             \
    std::optional<std::string> JSONStringWithOptions(                                             \
        const Ref<Collection>& collection, JKSerializeOptionFlags serializeOptions,               \
        Ref<plat::Object> delegate, plat::Selector selector, Ref<plat::Error>* error) {           \
        return serializedText(Value(collection), serializeOptions, kCollection | kText, {},       \
                              std::move(delegate), selector, error);                              \
    }                                                                                             \
    std::optional<std::string> JSONStringWithOptions(                                             \
        const Ref<Collection>& collection, JKSerializeOptionFlags serializeOptions,               \
        JKSerializeUnsupportedClassBlock block, Ref<plat::Error>* error) {                        \
        return serializedText(Value(collection), serializeOptions, kCollection | kText,           \
                              std::move(block), {}, {}, error);                                   \
    }

VARNEL_JSON_COLLECTION_WRITERS(plat::Array)
VARNEL_JSON_COLLECTION_WRITERS(plat::Dictionary)
