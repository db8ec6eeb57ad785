#include "vnlib/dev/kxjson/KxJsonParser.h"

#include "platform/core/Log.h"
#include "vnlib/dev/kxjson/KxJsonStreamParser.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAccumulator.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAdapter.h"

PLAT_DEFINE_CLASS(KxJsonParser, plat::Object, PLAT_NO_METHODS)

plat::Value KxJsonParser::objectWithBytes(const uint8_t* bytes, size_t length) {
    auto accumulator = std::make_shared<KxJsonStreamParserAccumulator>();
    auto adapter = std::make_shared<KxJsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    auto parser = std::make_shared<KxJsonStreamParser>();
    parser->setMaxDepth(maxDepth_);
    parser->setDelegate(adapter);

    switch (parser->parse(bytes, length)) {
        case KxJsonStreamParserComplete:
            return accumulator->value();
        case KxJsonStreamParserWaitingForData:
            setError("Unexpected end of input");
            return {};
        default:
            setError(parser->error().value_or(std::string()));
            return {};
    }
}

plat::Value KxJsonParser::objectWithData(const plat::Bytes* data) {
    if (!data) {
        setError("Input was 'nil'");
        return {};
    }
    return objectWithBytes(data->data(), data->size());
}

plat::Value KxJsonParser::objectWithString(const std::string* string) {
    if (!string) {
        setError("Input was 'nil'");
        return {};
    }
    return objectWithString(std::string_view(*string));
}

plat::Value KxJsonParser::objectWithString(std::string_view string) {
    return objectWithBytes(reinterpret_cast<const uint8_t*>(string.data()), string.size());
}

plat::Value KxJsonParser::objectWithString(std::string_view string, Ref<plat::Error>* error) {
    plat::Value value = objectWithString(string);
    if (value.isNil() && error)
        *error = plat::Error::withDescription(KxJsonParserErrorDomain, 0, error_.value_or(""));
    return value;
}

namespace {

plat::Value logFailure(const KxJsonParser& parser, plat::Value value) {
    if (value.isNil())
        plat::log("-JSONValue failed. Error is: " + parser.error().value_or(std::string()));
    return value;
}

}  // namespace

plat::Value JSONValue(std::string_view text) {
    auto parser = std::make_shared<KxJsonParser>();
    return logFailure(*parser, parser->objectWithString(text));
}

plat::Value JSONValue(const plat::Bytes& data) {
    auto parser = std::make_shared<KxJsonParser>();
    return logFailure(*parser, parser->objectWithData(data));
}
