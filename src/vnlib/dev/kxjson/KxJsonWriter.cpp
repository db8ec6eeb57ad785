#include "vnlib/dev/kxjson/KxJsonWriter.h"

#include "platform/core/Log.h"
#include "vnlib/dev/kxjson/KxJsonStreamWriterAccumulator.h"

PLAT_DEFINE_CLASS(KxJsonWriter, plat::Object, PLAT_NO_METHODS)

std::optional<plat::Bytes> KxJsonWriter::dataWithObject(const plat::Value& value) {
    error_.reset();
    plat::Value current = value;
    // An object that is neither dictionary nor array is written as its "proxyForJson".
    for (int chain = 0; !current.isDictionary() && !current.isArray(); ++chain) {
        std::optional<plat::Value> proxy;
        if (chain < KxJsonStreamWriter::kMaxProxyChain)
            proxy = KxJsonStreamWriter::proxyForJsonOf(current);
        if (!proxy) {
            error_ = "Not valid type for JSON";
            return std::nullopt;
        }
        current = std::move(*proxy);
    }

    auto accumulator = std::make_shared<KxJsonStreamWriterAccumulator>();
    auto writer = std::make_shared<KxJsonStreamWriter>();
    writer->setSortKeys(sortKeys_);
    writer->setMaxDepth(maxDepth_);
    writer->setSortKeysComparator(sortKeysComparator_);
    writer->setHumanReadable(humanReadable_);
    writer->setDelegate(accumulator);

    const bool written = current.isDictionary() ? writer->writeObject(*current.dictionary())
                                                : writer->writeArray(*current.array());
    if (!written) {
        error_ = writer->error();
        return std::nullopt;
    }
    return accumulator->takeData();
}

std::optional<std::string> KxJsonWriter::stringWithObject(const plat::Value& value) {
    std::optional<plat::Bytes> data = dataWithObject(value);
    if (!data)
        return std::nullopt;
    return std::string(data->begin(), data->end());
}

std::optional<std::string> KxJsonWriter::stringWithObject(const plat::Value& value,
                                                          Ref<plat::Error>* error) {
    std::optional<std::string> text = stringWithObject(value);
    if (!text && error)
        *error = plat::Error::withDescription(KxJsonWriterErrorDomain, 0, error_.value_or(""));
    return text;
}

std::optional<std::string> JSONRepresentation(const plat::Value& value) {
    auto writer = std::make_shared<KxJsonWriter>();
    std::optional<std::string> text = writer->stringWithObject(value);
    if (!text)
        plat::log("-JSONRepresentation failed. Error is: " + writer->error().value_or(""));
    return text;
}
