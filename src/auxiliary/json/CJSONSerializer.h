#pragma once
// CJSONSerializer: compact JSON bytes of nulls, numbers, strings, arrays, dictionaries, data
// (as UTF-8 text) and objects that answer JSONDataRepresentation. Containers write their elements
// through writeObject, so a subclass's override applies at every depth; they nest at most
// kMaxDepth deep. Strings escape '"', '\', '/', the named control characters and every other
// character below U+0020 as "\u00XX". Non-finite numbers, other kinds and invalid data fail with
// an error of "TODO_DOMAIN", code -1.
// CFilteringJSONSerializer converts objects through named converter blocks on the way;
// CJSONSerializedData carries bytes that already are JSON.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"

inline constexpr const char* kJSONSerializerErrorDomain = "TODO_DOMAIN";

class CJSONSerializer : public plat::Object {
    PLAT_CLASS(CJSONSerializer)
  public:
    static constexpr int kMaxDepth = 512;

    CJSONSerializer() = default;
    static Ref<CJSONSerializer> serializer() { return std::make_shared<CJSONSerializer>(); }

    // A null, number, string, array, dictionary or data, or an object that answers
    // JSONDataRepresentation; containers are not looked into.
    bool isValidJSONObject(const plat::Value& object) const;

    std::optional<plat::Bytes> serializeObject(const plat::Value& object, Ref<plat::Error>* error);
    std::optional<plat::Bytes> serializeNull(const plat::Value& object, Ref<plat::Error>* error);
    std::optional<plat::Bytes> serializeNumber(const plat::Value& number, Ref<plat::Error>* error);
    std::optional<plat::Bytes> serializeString(const plat::Value& string, Ref<plat::Error>* error);
    std::optional<plat::Bytes> serializeArray(const plat::Value& array, Ref<plat::Error>* error);
    std::optional<plat::Bytes> serializeDictionary(const plat::Value& dictionary,
                                                   Ref<plat::Error>* error);

    // Appends the object's JSON to `out`; on failure `out` may hold part of it.
    virtual bool writeObject(std::string& out, const plat::Value& object, Ref<plat::Error>* error);

  protected:
    bool writeBaseObject(std::string& out, const plat::Value& object, Ref<plat::Error>* error);
    bool writeNumber(std::string& out, const plat::Value& number, Ref<plat::Error>* error);
    bool writeArray(std::string& out, const plat::Value& array, Ref<plat::Error>* error);
    bool writeDictionary(std::string& out, const plat::Value& dictionary, Ref<plat::Error>* error);
    static void writeString(std::string& out, std::string_view text);
    // "Could not serialize object '<description>'", the description clipped.
    static bool couldNotSerialize(const plat::Value& object, Ref<plat::Error>* error);

  private:
    std::optional<plat::Bytes> serializeWith(bool (CJSONSerializer::*writer)(std::string&,
                                                                             const plat::Value&,
                                                                             Ref<plat::Error>*),
                                             const plat::Value& object, Ref<plat::Error>* error);

    int depth_ = 0;
};

using CJSONSerializerTest = std::function<std::optional<std::string>(const plat::Value&)>;
using CJSONSerializerConverter = std::function<plat::Value(const plat::Value&)>;

class CFilteringJSONSerializer : public CJSONSerializer {
    PLAT_CLASS(CFilteringJSONSerializer)
  public:
    CFilteringJSONSerializer() = default;

    // Both start unset; the adders extend what is set and leave an unset property unset.
    using Tests = std::vector<CJSONSerializerTest>;
    using Converters = std::map<std::string, CJSONSerializerConverter>;
    const std::shared_ptr<const Tests>& tests() const { return tests_; }
    void setTests(Tests tests) { tests_ = std::make_shared<const Tests>(std::move(tests)); }
    const std::shared_ptr<const Converters>& convertersByName() const { return converters_; }
    void setConvertersByName(Converters converters) {
        converters_ = std::make_shared<const Converters>(std::move(converters));
    }
    void addTest(CJSONSerializerTest test);
    void addConverter(CJSONSerializerConverter converter, const std::string& name);

    // The first test whose named converter gives data (taken as it is) or an object that the
    // base serializer writes; else the base serializer's answer.
    bool writeObject(std::string& out, const plat::Value& object, Ref<plat::Error>* error) override;

  private:
    std::shared_ptr<const Tests> tests_;
    std::shared_ptr<const Converters> converters_;
};

class CJSONSerializedData : public plat::Object {
    PLAT_CLASS(CJSONSerializedData)
  public:
    explicit CJSONSerializedData(plat::Bytes data) : data_(std::move(data)) {}
    static Ref<CJSONSerializedData> initWithData(plat::Bytes data) {
        return std::make_shared<CJSONSerializedData>(std::move(data));
    }
    const plat::Bytes& data() const { return data_; }
    const plat::Bytes& serializedJSONData() const { return data_; }

  private:
    plat::Bytes data_;
};
