#pragma once
// CJSONDeserializer: the façade of CJSONScanner. It keeps one scanner and answers the value of
// JSON data, or nil with an error: -11 of CJSONDeserializerErrorDomain for nil or empty data,
// else the scanner's. Bytes after the top-level value are not examined. The block variants parse
// on the main operation queue and answer through the main dispatch queue.
#include <functional>

#include "auxiliary/json/CJSONScanner.h"

inline constexpr const char* kJSONDeserializerErrorDomain = "CJSONDeserializerErrorDomain";
inline constexpr int64_t kJSONDeserializerErrorCode_NothingToDeserialize = -11;

using CJSONDeserializerCompletionBlock =
    std::function<void(const plat::Value& result, const Ref<plat::Error>& error)>;

class CJSONDeserializer : public plat::Object {
    PLAT_CLASS(CJSONDeserializer)
  public:
    CJSONDeserializer() = default;
    static Ref<CJSONDeserializer> deserializer() { return std::make_shared<CJSONDeserializer>(); }

    // Any JSON value at the top.
    plat::Value deserialize(const plat::Bytes* data, Ref<plat::Error>* error);
    plat::Value deserialize(const plat::Bytes& data, Ref<plat::Error>* error) {
        return deserialize(&data, error);
    }
    // The top must be an object (an array).
    plat::Value deserializeAsDictionary(const plat::Bytes* data, Ref<plat::Error>* error);
    plat::Value deserializeAsArray(const plat::Bytes* data, Ref<plat::Error>* error);

    // Nil or empty data answers at once, on the caller's thread; otherwise the parse runs on the
    // main operation queue and the block is called from the main dispatch queue.
    void deserializeAsDictionary(const plat::Bytes* data, CJSONDeserializerCompletionBlock block);
    void deserializeAsArray(const plat::Bytes* data, CJSONDeserializerCompletionBlock block);

    // Made on first use and kept.
    const Ref<CJSONScanner>& scanner();
    plat::Value nullObject() { return scanner()->nullObject(); }
    void setNullObject(plat::Value nullObject) { scanner()->setNullObject(std::move(nullObject)); }
    plat::StringEncoding allowedEncoding() { return scanner()->allowedEncoding(); }
    void setAllowedEncoding(plat::StringEncoding e) { scanner()->setAllowedEncoding(e); }
    // Handed to the scanner with each parse (kJSONScannerOptions_...).
    uint64_t options() const { return options_; }
    void setOptions(uint64_t options) { options_ = options; }

  private:
    enum class Top { Any, Dictionary, Array };
    plat::Value deserialize(const plat::Bytes* data, Top top, Ref<plat::Error>* error);
    void deserializeLater(const plat::Bytes* data, Top top, CJSONDeserializerCompletionBlock block);

    Ref<CJSONScanner> scanner_;
    uint64_t options_ = 0;
};

// What deserialize of a new deserializer answers (so a top-level array or string as well).
plat::Value NSDictionaryWithJSONData(const plat::Bytes* data, Ref<plat::Error>* error);
plat::Value NSDictionaryWithJSONString(std::string_view text, Ref<plat::Error>* error);
