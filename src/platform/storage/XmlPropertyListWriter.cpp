#include "platform/storage/XmlPropertyListWriter.h"

#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "platform/core/Collections.h"
#include "platform/crypto/Base64.h"
#include "platform/storage/PropertyList.h"
#include "platform/storage/PropertyListSupport.h"

namespace plat::plist {
namespace {

constexpr const char* kProlog =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

// Refuses text that an XML 1.0 document cannot hold: control characters other than tab, line
// feed and carriage return, U+FFFE and U+FFFF, and UTF-16 surrogates. No reader would accept a
// file holding them, so nothing is written instead.
void checkXmlText(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = [&](size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        };
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", c);
            fail(std::string("text holds the character ") + code + ", which XML cannot hold");
        }
        if ((c == 0xEF && next(1) == 0xBF && (next(2) == 0xBE || next(2) == 0xBF)) ||
            (c == 0xED && next(1) >= 0xA0)) {
            fail("text holds a noncharacter or surrogate, which XML cannot hold");
        }
    }
}

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\r':
                out += "&#13;";
                break;  // XML readers would turn a raw CR into LF
            default:
                out.push_back(c);
        }
    }
}

// The shortest text that reads back the same (in the number's own precision), with the format's
// spellings of the special values.
std::string realText(const Number& n) {
    const double d = n.doubleValue();
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d < 0 ? "-infinity" : "+infinity";
    return n.stringValue();
}

// ISO 8601 in UTC; whole seconds as the format usually has them, with the fraction (up to
// microseconds) only when the date has one, so that dates survive a round trip.
std::string dateText(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 2.5e11)
        fail("date out of range");
    double whole = std::floor(seconds);
    auto micros = static_cast<int64_t>(std::llround((seconds - whole) * 1e6));
    if (micros >= 1000000) {
        whole += 1;
        micros -= 1000000;
    }
    const auto total = static_cast<int64_t>(whole);
    int64_t days = total / 86400;
    int64_t rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    int64_t year;
    unsigned month, day;
    civilFromDays(days, year, month, day);
    if (year < 0 || year > 9999)
        fail("date out of range");
    char buf[64];
    int n =
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld",
                      static_cast<long long>(year), month, day, static_cast<long long>(rest / 3600),
                      static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    std::string out(buf, static_cast<size_t>(n));
    if (micros > 0) {
        n = std::snprintf(buf, sizeof buf, ".%06lld", static_cast<long long>(micros));
        std::string fraction(buf, static_cast<size_t>(n));
        while (fraction.back() == '0')
            fraction.pop_back();
        out += fraction;
    }
    return out + "Z";
}

// A generous bound on the text a value takes when each of its distinct strings, data and
// containers is written once (escaping, Base64, tags and indentation included): the value's own
// size. A value that shares one object many times would be written in full each time; the writer
// refuses to write more than a few times this bound.
class SizeEstimate {
  public:
    uint64_t of(const Value& v) {
        add(v, 0);
        return total_;
    }

  private:
    static constexpr uint64_t kTag = 48;
    // Short texts count at each use (keys are often one shared text).
    static constexpr size_t kSmall = 1024;
    bool first(const void* p) { return seen_.insert(p).second; }
    void add(const Value& v, uint64_t depth) {
        total_ += kTag + depth;
        switch (v.kind()) {
            case Value::Kind::String:
                if (v.string()->size() <= kSmall || first(v.string()))
                    total_ += 6 * v.string()->size();
                return;
            case Value::Kind::Data:
                if (v.bytes()->size() <= kSmall || first(v.bytes()))
                    total_ += 2 * v.bytes()->size() + v.bytes()->size() / 32;
                return;
            case Value::Kind::Array: {
                const auto a = v.array();
                if (depth <= PropertyList::kMaxDepth && first(a.get())) {
                    a->enumerate([&](const Value& element) {
                        add(element, depth + 1);
                        return true;
                    });
                }
                return;
            }
            case Value::Kind::Dictionary: {
                const auto d = v.dictionary();
                if (depth <= PropertyList::kMaxDepth && first(d.get())) {
                    d->enumerateKeysAndObjects([&](const Value& key, const Value& element) {
                        add(key, depth + 1);
                        add(element, depth + 1);
                        return true;
                    });
                }
                return;
            }
            default:
                return;
        }
    }
    std::unordered_set<const void*> seen_;
    uint64_t total_ = 0;
};

class Writer {
  public:
    Writer(bool emit, uint64_t budget) : emit_(emit), budget_(budget) {}

    void value(const Value& v, int depth) {
        switch (v.kind()) {
            case Value::Kind::Dictionary:
                return dictionary(*v.dictionary(), depth + 1);
            case Value::Kind::Array:
                return array(*v.array(), depth + 1);
            case Value::Kind::String:
                return element("string", *v.string(), depth);
            case Value::Kind::Bool:
                return line(v.boolValue() ? "<true/>" : "<false/>", depth);
            case Value::Kind::Number: {
                const Number& n = *v.number();
                if (n.isFloatingPoint())
                    return element("real", realText(n), depth);
                return element("integer", n.stringValue(), depth);
            }
            case Value::Kind::Decimal:
                return element("real", v.decimal()->stringValue(), depth);
            case Value::Kind::Data: {
                const Bytes& b = *v.bytes();
                return element("data", Base64::encode(b), depth);
            }
            case Value::Kind::Date:
                return element("date", dateText(v.date()->seconds), depth);
            case Value::Kind::Nil:
                fail("nothing (nil) is not a property-list value");
            case Value::Kind::Null:
                fail("the null object is not a property-list value");
            case Value::Kind::Object:
                fail("an object of class " + v.object()->className() +
                     " is not a property-list value");
        }
    }

    std::string take() { return std::move(out_); }

  private:
    // Counts what a piece adds to the text, written or not.
    void spend(uint64_t bytes) {
        spent_ += bytes;
        if (spent_ > budget_)
            fail("the text would pass " + std::to_string(budget_) +
                 " bytes: the value shares objects too many times to be written in full");
    }
    void indent(int depth) {
        if (emit_)
            out_.append(static_cast<size_t>(depth), '\t');
    }
    void line(std::string_view text, int depth) {
        spend(static_cast<uint64_t>(depth) + text.size() + 1);
        if (!emit_)
            return;
        indent(depth);
        out_ += text;
        out_.push_back('\n');
    }
    void element(std::string_view name, std::string_view text, int depth) {
        spend(static_cast<uint64_t>(depth) + 2 * name.size() + text.size() + 6);
        checkXmlText(text);
        if (!emit_)
            return;
        indent(depth);
        out_ += '<';
        out_ += name;
        out_ += '>';
        appendEscaped(out_, text);
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }

    void dictionary(const Dictionary& d, int depth) {
        if (depth > PropertyList::kMaxDepth)
            fail("nesting too deep (or a value contains itself)");
        if (d.count() == 0)
            return line("<dict/>", depth - 1);
        line("<dict>", depth - 1);
        d.enumerateKeysAndObjects([&](const Value& key, const Value& value) {
            if (!key.isString())
                fail("dictionary key is not a string: " + key.description());
            element("key", *key.string(), depth);
            this->value(value, depth);
            return true;
        });
        line("</dict>", depth - 1);
    }

    void array(const Array& a, int depth) {
        if (depth > PropertyList::kMaxDepth)
            fail("nesting too deep (or a value contains itself)");
        if (a.count() == 0)
            return line("<array/>", depth - 1);
        line("<array>", depth - 1);
        a.enumerate([&](const Value& value) {
            this->value(value, depth);
            return true;
        });
        line("</array>", depth - 1);
    }

    bool emit_;
    uint64_t budget_;
    uint64_t spent_ = 0;
    std::string out_;
};

Writer writerFor(const Value& value, bool emit) {
    return Writer(emit, 4 * SizeEstimate().of(value) + (uint64_t{1} << 20));
}

}  // namespace

std::string XmlPropertyListWriter::write(const Value& value) {
    Writer writer = writerFor(value, true);
    writer.value(value, 0);
    return kProlog + writer.take() + "</plist>\n";
}

void XmlPropertyListWriter::validate(const Value& value) {
    writerFor(value, false).value(value, 0);
}

}  // namespace plat::plist
