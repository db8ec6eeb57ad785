#include "auxiliary/json/CJSONDeserializer.h"

#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/OperationQueue.h"

PLAT_DEFINE_CLASS(CJSONDeserializer, plat::Object, [](auto&) {})

namespace {

Ref<plat::Error> nothingToDeserialize() {
    return plat::Error::make(kJSONDeserializerErrorDomain,
                             kJSONDeserializerErrorCode_NothingToDeserialize);
}

}  // namespace

const Ref<CJSONScanner>& CJSONDeserializer::scanner() {
    if (!scanner_)
        scanner_ = std::make_shared<CJSONScanner>();
    return scanner_;
}

plat::Value CJSONDeserializer::deserialize(const plat::Bytes* data, Top top,
                                           Ref<plat::Error>* error) {
    if (!data || data->empty()) {
        if (error)
            *error = nothingToDeserialize();
        return {};
    }
    const Ref<CJSONScanner>& s = scanner();
    s->setOptions(options_);
    if (!s->setData(*data, error))
        return {};
    plat::Value value;
    s->skipWhitespace();
    const uint64_t start = s->scanLocation();
    bool ok;
    switch (top) {
        case Top::Dictionary:
            ok = s->scanJSONDictionary(&value, error);
            break;
        case Top::Array:
            ok = s->scanJSONArray(&value, error);
            break;
        default:
            ok = s->scanJSONObject(&value, error);
            break;
    }
    // A word that is not true, false or null reads as nothing; at the top that is a failure
    // rather than nil without an error ("null" with a nil null object stays nil).
    if (ok && value.isNil() && s->scanLocation() == start)
        ok = s->failWithCode(kJSONScannerErrorCode_CouldNotScanObject, error);
    // Let go of the input; the scanner is kept for the next parse.
    s->setData(std::shared_ptr<const plat::Bytes>(), nullptr);
    return ok ? value : plat::Value();
}

plat::Value CJSONDeserializer::deserialize(const plat::Bytes* data, Ref<plat::Error>* error) {
    return deserialize(data, Top::Any, error);
}

plat::Value CJSONDeserializer::deserializeAsDictionary(const plat::Bytes* data,
                                                       Ref<plat::Error>* error) {
    return deserialize(data, Top::Dictionary, error);
}

plat::Value CJSONDeserializer::deserializeAsArray(const plat::Bytes* data,
                                                  Ref<plat::Error>* error) {
    return deserialize(data, Top::Array, error);
}

void CJSONDeserializer::deserializeLater(const plat::Bytes* data, Top top,
                                         CJSONDeserializerCompletionBlock block) {
    if (!data || data->empty()) {
        if (block)
            block(plat::Value(), nothingToDeserialize());
        return;
    }
    auto self = std::static_pointer_cast<CJSONDeserializer>(shared_from_this());
    plat::OperationQueue::mainQueue()->addOperationWithBlock(
        [self, bytes = *data, top, block = std::move(block)]() {
            Ref<plat::Error> error;
            plat::Value value = self->deserialize(&bytes, top, &error);
            plat::DispatchQueue::main()->async([value, error, block]() {
                if (block)
                    block(value, value.isNil() ? error : nullptr);
            });
        });
}

void CJSONDeserializer::deserializeAsDictionary(const plat::Bytes* data,
                                                CJSONDeserializerCompletionBlock block) {
    deserializeLater(data, Top::Dictionary, std::move(block));
}

void CJSONDeserializer::deserializeAsArray(const plat::Bytes* data,
                                           CJSONDeserializerCompletionBlock block) {
    deserializeLater(data, Top::Array, std::move(block));
}

plat::Value NSDictionaryWithJSONData(const plat::Bytes* data, Ref<plat::Error>* error) {
    return CJSONDeserializer::deserializer()->deserialize(data, error);
}

plat::Value NSDictionaryWithJSONString(std::string_view text, Ref<plat::Error>* error) {
    const plat::Bytes bytes(text.begin(), text.end());
    return NSDictionaryWithJSONData(&bytes, error);
}
