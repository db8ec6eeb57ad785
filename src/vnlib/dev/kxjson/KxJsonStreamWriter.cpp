#include "vnlib/dev/kxjson/KxJsonStreamWriter.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

PLAT_DEFINE_CLASS(KxJsonStreamWriter, plat::Object, PLAT_NO_METHODS)

namespace {

// The class name of a value in error texts.
std::string writerClassNameOf(const plat::Value& value) {
    using Kind = plat::Value::Kind;
    switch (value.kind()) {
        case Kind::Nil:
            return "(null)";
        case Kind::Data:
            return "NSData";
        case Kind::Date:
            return "NSDate";
        default:
            if (auto object = value.object())
                return object->className();
            return "NSObject";
    }
}

// The quoted string with quotes, backslashes and bytes below 0x20 escaped; every other byte
// (those of characters beyond U+007F included) is copied as it is.
std::string encodeString(std::string_view s) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size() + s.size() / 10 + 2);
    out += '"';
    size_t run = 0;  // start of the bytes not yet copied
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(s, run, i - run);
        run = i + 1;
        switch (c) {
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
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
                break;
        }
    }
    out.append(s, run, s.size() - run);
    out += '"';
    return out;
}

bool isSignedType(char type) {
    return type == 'c' || type == 's' || type == 'i' || type == 'l' || type == 'q';
}

}  // namespace

KxJsonStreamWriter::KxJsonStreamWriter() : state_(&KxJsonStreamWriterStateStart::sharedInstance()) {
    stateStack_.reserve(maxDepth_);
    cache_.reserve(32);
}

bool KxJsonStreamWriter::fail(std::string error) {
    error_ = std::move(error);
    return false;
}

void KxJsonStreamWriter::appendBytes(const void* bytes, size_t length) {
    if (auto delegate = delegate_.lock())
        delegate->writerAppendBytes(*this, static_cast<const uint8_t*>(bytes), length);
}

std::optional<plat::Value> KxJsonStreamWriter::proxyForJsonOf(const plat::Value& value) {
    if (!value.isObject())
        return std::nullopt;
    const Ref<plat::Object> object = value.object();
    if (!object || !plat::respondsToSelector(object, KxJsonProxyMessages::kProxyForJson))
        return std::nullopt;
    return plat::send(object, KxJsonProxyMessages::kProxyForJson);
}

// ---- Containers -------------------------------------------------------------------------------

bool KxJsonStreamWriter::openContainer(const KxJsonStreamWriterState& opened, char bracket) {
    if (state_->isInvalidState(*this) || state_->expectingKey(*this))
        return false;
    state_->appendSeparator(*this);
    if (humanReadable_ && !stateStack_.empty())
        state_->appendWhitespace(*this);
    stateStack_.push_back(state_);
    state_ = &opened;
    if (maxDepth_ != 0 && stateStack_.size() > maxDepth_)
        return fail("Nested too deep");
    appendBytes(&bracket, 1);
    return true;
}

bool KxJsonStreamWriter::writeObjectOpen() {
    return openContainer(KxJsonStreamWriterStateObjectStart::sharedInstance(), '{');
}

bool KxJsonStreamWriter::writeArrayOpen() {
    return openContainer(KxJsonStreamWriterStateArrayStart::sharedInstance(), '[');
}

bool KxJsonStreamWriter::writeObjectClose() {
    if (state_->isInvalidState(*this))
        return false;
    // An object closes where a key could come: right after "{" or after a member's value.
    if (state_ != &KxJsonStreamWriterStateObjectStart::sharedInstance() &&
        state_ != &KxJsonStreamWriterStateObjectKey::sharedInstance())
        return fail("Cannot close object here");
    const KxJsonStreamWriterState* closing = state_;
    state_ = stateStack_.back();
    stateStack_.pop_back();
    if (humanReadable_)
        closing->appendWhitespace(*this);
    appendBytes("}", 1);
    state_->transitionState(*this);
    return true;
}

bool KxJsonStreamWriter::writeArrayClose() {
    if (state_->isInvalidState(*this) || state_->expectingKey(*this))
        return false;
    if (state_ != &KxJsonStreamWriterStateArrayStart::sharedInstance() &&
        state_ != &KxJsonStreamWriterStateArrayValue::sharedInstance())
        return fail("Cannot close array here");
    const KxJsonStreamWriterState* closing = state_;
    state_ = stateStack_.back();
    stateStack_.pop_back();
    if (humanReadable_)
        closing->appendWhitespace(*this);
    appendBytes("]", 1);
    state_->transitionState(*this);
    return true;
}

bool KxJsonStreamWriter::writeObject(const plat::Dictionary& dictionary) {
    if (!writeObjectOpen())
        return false;

    std::vector<std::pair<plat::Value, plat::Value>> entries;
    entries.reserve(dictionary.count());
    dictionary.enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        entries.emplace_back(key, value);
        return true;
    });
    if (sortKeys_) {
        auto before = [this](const auto& a, const auto& b) {
            if (sortKeysComparator_)
                return sortKeysComparator_(a.first, b.first) < 0;
            const std::string* x = a.first.string();
            const std::string* y = b.first.string();
            if (x && y)
                return *x < *y;
            return a.first.description() < b.first.description();
        };
        std::stable_sort(entries.begin(), entries.end(), before);
    }

    for (const auto& [key, value] : entries) {
        const std::string* text = key.string();
        if (!text)
            return fail("JSON object key must be string: " + key.description());
        if (!writeString(*text) || !writeValue(value))
            return false;
    }
    return writeObjectClose();
}

bool KxJsonStreamWriter::writeArray(const plat::Array& array) {
    if (!writeArrayOpen())
        return false;
    for (size_t i = 0; i < array.count(); ++i) {
        if (!writeValue(array.objectAtIndex(i)))
            return false;
    }
    return writeArrayClose();
}

// ---- Scalars ----------------------------------------------------------------------------------

bool KxJsonStreamWriter::beginScalar(bool mayBeKey) {
    if (state_->isInvalidState(*this))
        return false;
    if (!mayBeKey && state_->expectingKey(*this))
        return false;
    state_->appendSeparator(*this);
    if (humanReadable_)
        state_->appendWhitespace(*this);
    return true;
}

bool KxJsonStreamWriter::writeNull() {
    if (!beginScalar(false))
        return false;
    appendBytes("null", 4);
    state_->transitionState(*this);
    return true;
}

bool KxJsonStreamWriter::writeBool(bool value) {
    if (!beginScalar(false))
        return false;
    appendBytes(value ? std::string_view("true") : std::string_view("false"));
    state_->transitionState(*this);
    return true;
}

bool KxJsonStreamWriter::writeString(std::string_view string) {
    // A string may stand where a key must come: that is how keys are written.
    if (!beginScalar(true))
        return false;
    auto cached = cache_.find(string);
    if (cached == cache_.end())
        cached = cache_.emplace(std::string(string), encodeString(string)).first;
    appendBytes(cached->second);
    state_->transitionState(*this);
    return true;
}

bool KxJsonStreamWriter::writeNumber(const plat::Value& number) {
    if (number.isBool())
        return writeBool(number.boolValue());
    const plat::Number* n = number.number();
    const plat::Decimal* decimal = number.decimal();
    if (!n && !decimal)
        return fail("JSON serialisation not supported for " + writerClassNameOf(number));
    if (!beginScalar(false))
        return false;

    std::string text;
    if (decimal) {
        text = decimal->stringValue();
    } else {
        char buffer[128];
        if (isSignedType(n->type())) {
            std::snprintf(buffer, sizeof buffer, "%" PRId64, n->int64Value());
        } else if (n->isUnsigned()) {
            std::snprintf(buffer, sizeof buffer, "%" PRIu64, n->uint64Value());
        } else {
            const double d = n->doubleValue();
            if (std::isinf(d))
                return fail(d > 0 ? "+Infinity is not a valid number in JSON"
                                  : "-Infinity is not a valid number in JSON");
            if (std::isnan(d))
                return fail("NaN is not a valid number in JSON");
            std::snprintf(buffer, sizeof buffer, "%.17g", d);
        }
        text = buffer;
    }
    appendBytes(text);
    state_->transitionState(*this);
    return true;
}

bool KxJsonStreamWriter::writeValue(const plat::Value& value) {
    plat::Value current = value;
    for (int chain = 0;; ++chain) {
        switch (current.kind()) {
            case plat::Value::Kind::Dictionary:
                return writeObject(*current.dictionary());
            case plat::Value::Kind::Array:
                return writeArray(*current.array());
            case plat::Value::Kind::String:
                return writeString(*current.string());
            case plat::Value::Kind::Number:
            case plat::Value::Kind::Decimal:
            case plat::Value::Kind::Bool:
                return writeNumber(current);
            case plat::Value::Kind::Null:
                return writeNull();
            default:
                break;
        }
        std::optional<plat::Value> proxy;
        if (chain < kMaxProxyChain)
            proxy = proxyForJsonOf(current);
        if (!proxy)
            return fail("JSON serialisation not supported for " + writerClassNameOf(current));
        current = std::move(*proxy);
    }
}
