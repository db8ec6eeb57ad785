#include "platform/storage/XmlPropertyListWriter.h"

#include <cmath>
#include <cstdio>

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

class Writer {
  public:
    explicit Writer(bool emit) : emit_(emit) {}

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
    void indent(int depth) {
        if (emit_)
            out_.append(static_cast<size_t>(depth), '\t');
    }
    void line(std::string_view text, int depth) {
        if (!emit_)
            return;
        indent(depth);
        out_ += text;
        out_.push_back('\n');
    }
    void element(std::string_view name, std::string_view text, int depth) {
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
    std::string out_;
};

}  // namespace

std::string XmlPropertyListWriter::write(const Value& value) {
    Writer writer(true);
    writer.value(value, 0);
    return kProlog + writer.take() + "</plist>\n";
}

void XmlPropertyListWriter::validate(const Value& value) {
    Writer(false).value(value, 0);
}

}  // namespace plat::plist
