#include "auxiliary/json/CJSONSerializer.h"

#include "auxiliary/json/CJSONDepthGuard.h"

#include <cmath>

#include "platform/storage/PropertyListSupport.h"

PLAT_DEFINE_CLASS(CJSONSerializer, plat::Object, [](auto&) {})
PLAT_DEFINE_CLASS(CFilteringJSONSerializer, CJSONSerializer, [](auto&) {})
PLAT_DEFINE_CLASS(CJSONSerializedData, plat::Object, [](auto&) {})

namespace {

constexpr const char* kJSONDataRepresentation = "JSONDataRepresentation";
constexpr size_t kDescriptionLimit = 200;

Ref<plat::Error> serializerError(const std::string& message) {
    return plat::Error::withDescription(kJSONSerializerErrorDomain, -1, message);
}

const char* kindClassName(const plat::Value& value) {
    switch (value.kind()) {
        case plat::Value::Kind::Date:
            return "NSDate";
        case plat::Value::Kind::Nil:
            return "nil";
        default:
            return nullptr;
    }
}

// A description of at most about `budget` bytes that never descends deep into containers.
void describe(std::string& out, const plat::Value& value, size_t budget, int depth) {
    if (out.size() >= budget)
        return;
    if (auto array = value.array()) {
        if (depth > 8) {
            out += "(...)";
            return;
        }
        out += "(";
        array->enumerate([&](const plat::Value& element) {
            describe(out, element, budget, depth + 1);
            out += ", ";
            return out.size() < budget;
        });
        out += ")";
    } else if (auto dictionary = value.dictionary()) {
        if (depth > 8) {
            out += "{...}";
            return;
        }
        out += "{";
        dictionary->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& v) {
            describe(out, key, budget, depth + 1);
            out += " = ";
            describe(out, v, budget, depth + 1);
            out += "; ";
            return out.size() < budget;
        });
        out += "}";
    } else {
        out += value.description();
    }
}

// Whether the value's containers nest deeper than `limit`.
bool nestsDeeperThan(const plat::Value& value, int limit) {
    if (limit < 0)
        return true;
    bool deeper = false;
    if (auto array = value.array()) {
        array->enumerate([&](const plat::Value& element) {
            deeper = nestsDeeperThan(element, limit - 1);
            return !deeper;
        });
    } else if (auto dictionary = value.dictionary()) {
        dictionary->enumerateKeysAndObjects([&](const plat::Value&, const plat::Value& element) {
            deeper = nestsDeeperThan(element, limit - 1);
            return !deeper;
        });
    }
    return deeper;
}

// The value's description, clipped; a deeply nested value gets a short outline instead.
std::string clippedDescription(const plat::Value& value) {
    std::string out;
    if (nestsDeeperThan(value, 32))
        describe(out, value, kDescriptionLimit, 0);
    else
        out = value.description();
    if (out.size() > kDescriptionLimit) {
        size_t cut = kDescriptionLimit;
        while (cut > 0 && (static_cast<uint8_t>(out[cut]) & 0xC0) == 0x80)
            --cut;  // whole characters only
        out.resize(cut);
        out += "...";
    }
    return out;
}

plat::Bytes toBytes(const std::string& text) {
    return plat::Bytes(text.begin(), text.end());
}

}  // namespace

bool CJSONSerializer::couldNotSerialize(const plat::Value& object, Ref<plat::Error>* error) {
    if (error)
        *error = serializerError("Could not serialize object '" + clippedDescription(object) + "'");
    return false;
}

bool CJSONSerializer::isValidJSONObject(const plat::Value& object) const {
    switch (object.kind()) {
        case plat::Value::Kind::Null:
        case plat::Value::Kind::Bool:
        case plat::Value::Kind::Number:
        case plat::Value::Kind::Decimal:
        case plat::Value::Kind::String:
        case plat::Value::Kind::Array:
        case plat::Value::Kind::Dictionary:
        case plat::Value::Kind::Data:
            return true;
        case plat::Value::Kind::Object:
            return plat::respondsToSelector(object.object(), kJSONDataRepresentation);
        default:
            return false;
    }
}

bool CJSONSerializer::writeObject(std::string& out, const plat::Value& object,
                                  Ref<plat::Error>* error) {
    return writeBaseObject(out, object, error);
}

bool CJSONSerializer::writeBaseObject(std::string& out, const plat::Value& object,
                                      Ref<plat::Error>* error) {
    bool ok;
    switch (object.kind()) {
        case plat::Value::Kind::Null:
            out += "null";
            return true;
        case plat::Value::Kind::Bool:
        case plat::Value::Kind::Number:
        case plat::Value::Kind::Decimal:
            ok = writeNumber(out, object, error);
            break;
        case plat::Value::Kind::String:
            writeString(out, *object.string());
            return true;
        case plat::Value::Kind::Array:
            ok = writeArray(out, object, error);
            break;
        case plat::Value::Kind::Dictionary:
            ok = writeDictionary(out, object, error);
            break;
        case plat::Value::Kind::Data: {
            const plat::Bytes& bytes = *object.bytes();
            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            ok = plat::plist::isValidUtf8(text);
            if (ok)
                writeString(out, text);
            break;
        }
        case plat::Value::Kind::Object: {
            const Ref<plat::Object> target = object.object();
            if (plat::respondsToSelector(target, kJSONDataRepresentation)) {
                const plat::Value data = plat::send<plat::Value>(target, kJSONDataRepresentation);
                ok = data.bytes() != nullptr;
                if (ok)
                    out.append(data.bytes()->begin(), data.bytes()->end());
                break;
            }
            if (error)
                *error =
                    serializerError("Cannot serialize data of type '" + target->className() + "'");
            return false;
        }
        default:
            if (error)
                *error = serializerError(std::string("Cannot serialize data of type '") +
                                         kindClassName(object) + "'");
            return false;
    }
    return ok ? true : couldNotSerialize(object, error);
}

bool CJSONSerializer::writeNumber(std::string& out, const plat::Value& value, Ref<plat::Error>*) {
    if (value.isBool()) {
        out += value.boolValue() ? "true" : "false";
        return true;
    }
    if (const plat::Decimal* decimal = value.decimal()) {
        out += decimal->stringValue();
        return true;
    }
    const plat::Number* number = value.number();
    if (!number)
        return false;
    if (number->type() == 'c') {
        const int64_t v = number->int64Value();
        out += v == 0 ? "false" : v == 1 ? "true" : number->stringValue();
        return true;
    }
    if (number->isFloatingPoint() && !std::isfinite(number->doubleValue()))
        return false;  // JSON has no text for these
    out += number->stringValue();
    return true;
}

void CJSONSerializer::writeString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '/':
                out += "\\/";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (static_cast<uint8_t>(c) < 0x20) {
                    out += "\\u00";
                    out += kHex[static_cast<uint8_t>(c) >> 4];
                    out += kHex[c & 0xF];
                } else {
                    out += c;
                }
                break;
        }
    }
    out += '"';
}

bool CJSONSerializer::writeArray(std::string& out, const plat::Value& value,
                                 Ref<plat::Error>* error) {
    const Ref<plat::Array> array = value.array();
    if (!array || depth_ >= kMaxDepth)
        return false;
    CJSONDepthGuard guard(depth_);
    out += '[';
    bool ok = true;
    bool first = true;
    array->enumerate([&](const plat::Value& element) {
        if (!first)
            out += ',';
        first = false;
        ok = writeObject(out, element, error);
        return ok;
    });
    out += ']';
    return ok;
}

bool CJSONSerializer::writeDictionary(std::string& out, const plat::Value& value,
                                      Ref<plat::Error>* error) {
    const Ref<plat::Dictionary> dictionary = value.dictionary();
    if (!dictionary || depth_ >= kMaxDepth)
        return false;
    CJSONDepthGuard guard(depth_);
    out += '{';
    bool ok = true;
    bool first = true;
    dictionary->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& element) {
        if (!first)
            out += ',';
        first = false;
        // Keys must be strings.
        if (!key.isString()) {
            ok = couldNotSerialize(key, error);
            return false;
        }
        writeString(out, *key.string());
        out += ':';
        ok = writeObject(out, element, error);
        return ok;
    });
    out += '}';
    return ok;
}

std::optional<plat::Bytes> CJSONSerializer::serializeWith(
    bool (CJSONSerializer::*writer)(std::string&, const plat::Value&, Ref<plat::Error>*),
    const plat::Value& object, Ref<plat::Error>* error) {
    std::string out;
    if (!(this->*writer)(out, object, error))
        return std::nullopt;
    return toBytes(out);
}

std::optional<plat::Bytes> CJSONSerializer::serializeObject(const plat::Value& object,
                                                            Ref<plat::Error>* error) {
    return serializeWith(&CJSONSerializer::writeObject, object, error);
}

std::optional<plat::Bytes> CJSONSerializer::serializeNull(const plat::Value&, Ref<plat::Error>*) {
    return toBytes("null");
}

std::optional<plat::Bytes> CJSONSerializer::serializeNumber(const plat::Value& number,
                                                            Ref<plat::Error>* error) {
    std::string out;
    if (!writeNumber(out, number, error))
        return couldNotSerialize(number, error), std::nullopt;
    return toBytes(out);
}

std::optional<plat::Bytes> CJSONSerializer::serializeString(const plat::Value& string,
                                                            Ref<plat::Error>* error) {
    if (!string.isString())
        return couldNotSerialize(string, error), std::nullopt;
    std::string out;
    writeString(out, *string.string());
    return toBytes(out);
}

std::optional<plat::Bytes> CJSONSerializer::serializeArray(const plat::Value& array,
                                                           Ref<plat::Error>* error) {
    std::string out;
    if (!writeArray(out, array, error))
        return couldNotSerialize(array, error), std::nullopt;
    return toBytes(out);
}

std::optional<plat::Bytes> CJSONSerializer::serializeDictionary(const plat::Value& dictionary,
                                                                Ref<plat::Error>* error) {
    std::string out;
    if (!writeDictionary(out, dictionary, error))
        return couldNotSerialize(dictionary, error), std::nullopt;
    return toBytes(out);
}

// ---- CFilteringJSONSerializer -------------------------------------------------------------------

void CFilteringJSONSerializer::addTest(CJSONSerializerTest test) {
    if (!tests_)
        return;
    Tests tests = *tests_;
    tests.push_back(std::move(test));
    setTests(std::move(tests));
}

void CFilteringJSONSerializer::addConverter(CJSONSerializerConverter converter,
                                            const std::string& name) {
    if (!converters_)
        return;
    Converters converters = *converters_;
    converters[name] = std::move(converter);
    setConvertersByName(std::move(converters));
}

bool CFilteringJSONSerializer::writeObject(std::string& out, const plat::Value& object,
                                           Ref<plat::Error>* error) {
    const auto tests = tests_;
    const auto converters = converters_;
    if (tests && converters) {
        for (const auto& test : *tests) {
            const std::optional<std::string> name = test ? test(object) : std::nullopt;
            if (!name)
                continue;
            const auto it = converters->find(*name);
            if (it == converters->end() || !it->second)
                continue;
            const plat::Value converted = it->second(object);
            if (const plat::Bytes* bytes = converted.bytes()) {
                out.append(bytes->begin(), bytes->end());
                return true;
            }
            if (converted.isNil())
                continue;
            const size_t mark = out.size();
            if (writeBaseObject(out, converted, nullptr))
                return true;
            out.resize(mark);
        }
    }
    return writeBaseObject(out, object, error);
}
