#include "vnlib/dev/util/VndLoadedDictionary.h"

#include <cstring>

#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/dev/util/VndProxyClassPlan.h"

PLAT_DEFINE_CLASS(VndLoadedDictionary, plat::Dictionary, PLAT_NO_METHODS)

// The packed entries: for each entry in order, its key (a 32-bit position: below the number of
// class keys a class key, above it an unmapped entry, whose value is kept apart) and, for class
// keys, its value. A value is a kind byte and its payload: nothing for null; one byte for
// booleans; the type code and eight bytes for numbers; a 32-bit length and the bytes for
// strings; a 32-bit count and the elements for arrays, and for dictionaries the keys (as
// values) and objects in turn; for any other kind a 32-bit position among the values kept apart.
namespace {

enum Tag : char { kNull, kBool, kNumber, kString, kArray, kDictionary, kOther };

void put32(std::string& out, uint32_t n) {
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
}

uint32_t get32(const std::string& in, size_t& at) {
    uint32_t n = 0;
    std::memcpy(&n, in.data() + at, sizeof n);
    at += sizeof n;
    return n;
}

class Packer {
  public:
    Packer(std::string& out, std::vector<plat::Value>& others) : out_(out), others_(others) {}

    void pack(const plat::Value& value) {
        if (value.isNull()) {
            out_ += kNull;
        } else if (value.isBool()) {
            out_ += kBool;
            out_ += value.boolValue() ? '\1' : '\0';
        } else if (const plat::Number* number = value.number()) {
            out_ += kNumber;
            out_ += number->type();
            uint64_t bits = 0;
            if (number->isFloatingPoint()) {
                const double d = number->doubleValue();
                std::memcpy(&bits, &d, sizeof bits);
            } else {
                bits = number->isUnsigned() ? number->uint64Value()
                                            : static_cast<uint64_t>(number->int64Value());
            }
            out_.append(reinterpret_cast<const char*>(&bits), sizeof bits);
        } else if (const std::string* text = value.string()) {
            out_ += kString;
            put32(out_, static_cast<uint32_t>(text->size()));
            out_ += *text;
        } else if (auto array = value.array()) {
            out_ += kArray;
            put32(out_, static_cast<uint32_t>(array->count()));
            array->enumerate([&](const plat::Value& element) {
                pack(element);
                return true;
            });
        } else if (auto dictionary = value.dictionary()) {
            out_ += kDictionary;
            put32(out_, static_cast<uint32_t>(dictionary->count()));
            dictionary->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
                pack(k);
                pack(v);
                return true;
            });
        } else {
            out_ += kOther;
            put32(out_, static_cast<uint32_t>(others_.size()));
            others_.push_back(detachedCopy(value));
        }
    }

  private:
    std::string& out_;
    std::vector<plat::Value>& others_;
};

class Unpacker {
  public:
    Unpacker(const std::string& in, const std::vector<plat::Value>& others)
        : in_(in), others_(others) {}

    bool atEnd() const { return at_ >= in_.size(); }
    uint32_t next32() { return get32(in_, at_); }

    plat::Value unpack() {
        switch (static_cast<Tag>(in_[at_++])) {
            case kNull:
                return plat::Value::null();
            case kBool:
                return plat::Value::boolean(in_[at_++] != 0);
            case kNumber: {
                const char type = in_[at_++];
                uint64_t bits = 0;
                std::memcpy(&bits, in_.data() + at_, sizeof bits);
                at_ += sizeof bits;
                plat::Number shape = plat::Number::fromInt64(0, type);
                if (shape.isFloatingPoint()) {
                    double d = 0;
                    std::memcpy(&d, &bits, sizeof d);
                    return plat::Value(plat::Number::fromDouble(d, type));
                }
                if (shape.isUnsigned())
                    return plat::Value(plat::Number::fromUInt64(bits, type));
                return plat::Value(plat::Number::fromInt64(static_cast<int64_t>(bits), type));
            }
            case kString: {
                const uint32_t length = next32();
                std::string text = in_.substr(at_, length);
                at_ += length;
                return plat::Value(std::move(text));
            }
            case kArray: {
                std::vector<plat::Value> elements(next32());
                for (auto& element : elements)
                    element = unpack();
                return plat::Value(plat::Array::make(std::move(elements)));
            }
            case kDictionary: {
                std::vector<std::pair<plat::Value, plat::Value>> entries(next32());
                for (auto& [k, v] : entries) {
                    k = unpack();
                    v = unpack();
                }
                return plat::Value(plat::makeDictionary(std::move(entries)));
            }
            case kOther:
                return others_.at(next32());
        }
        return plat::Value();
    }

  private:
    const std::string& in_;
    const std::vector<plat::Value>& others_;
    size_t at_ = 0;
};

}  // namespace

Ref<plat::Dictionary> VndLoadedDictionary::make(plat::Object& target,
                                                const Ref<plat::Dictionary>& loaded) {
    const VndProxyClassPlan& plan = VndProxyClassPlan::of(target);
    if (!plan.isSource())
        return loaded->copy();
    auto made = std::make_shared<VndLoadedDictionary>(plan);
    const size_t classKeys = plan.keys().size();
    made->mapped_.resize((classKeys + 63) / 64);
    Packer packer(made->packed_, made->others_);
    loaded->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        ++made->count_;
        const size_t index = plan.indexOf(key);
        if (index == VndProxyClassPlan::npos) {
            put32(made->packed_, static_cast<uint32_t>(classKeys + made->unmapped_.size()));
            made->unmapped_.emplace_back(detachedCopy(key), detachedCopy(value));
            return true;
        }
        put32(made->packed_, static_cast<uint32_t>(index));
        packer.pack(value);
        if (!value.isNull() && !plan.keys()[index].readable)
            made->unread_.emplace_back(index, detachedCopy(value));
        else if (!value.isNull())
            made->mapped_[index / 64] |= uint64_t{1} << (index % 64);
        return true;
    });
    made->packed_.shrink_to_fit();
    return made;
}

VndLoadedDictionary::VndLoadedDictionary(const VndProxyClassPlan& plan) : plan_(&plan) {}

void VndLoadedDictionary::unpackEach(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    Unpacker unpacker(packed_, others_);
    const size_t classKeys = plan_->keys().size();
    while (!unpacker.atEnd()) {
        const uint32_t keyRef = unpacker.next32();
        if (keyRef >= classKeys) {
            const auto& entry = unmapped_.at(keyRef - classKeys);
            if (!fn(entry.first, entry.second))
                return;
        } else {
            const plat::Value value = unpacker.unpack();
            if (!fn(plan_->keys()[keyRef].key, value))
                return;
        }
    }
}

plat::Value VndLoadedDictionary::mappedValue(size_t index) const {
    for (const auto& [position, value] : unread_) {
        if (position == index)
            return value;
    }
    if (index / 64 >= mapped_.size() || !(mapped_[index / 64] >> (index % 64) & 1))
        return plat::Value();
    return objectForKey(plan_->keys()[index].key);
}

plat::Value VndLoadedDictionary::objectForKey(const plat::Value& key) const {
    if (plan_->indexOf(key) == VndProxyClassPlan::npos) {
        for (const auto& [k, v] : unmapped_) {
            if (k == key)
                return v;
        }
        return plat::Value();
    }
    plat::Value found;
    unpackEach([&](const plat::Value& k, const plat::Value& v) {
        if (!(k == key))
            return true;
        found = v;
        return false;
    });
    return found;
}

void VndLoadedDictionary::enumerateKeysAndObjects(
    const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const {
    unpackEach(fn);
}
