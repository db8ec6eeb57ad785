#include "platform/storage/XmlPropertyListReader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/crypto/Base64.h"
#include "platform/storage/PropertyList.h"
#include "platform/storage/PropertyListSupport.h"

namespace plat::plist {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '.' || c == '-';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

struct Tag {
    std::string name;
    bool empty = false;  // <name/>
};

class XmlParser {
  public:
    explicit XmlParser(std::string_view text) : s_(text) {}

    Value parseDocument() {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
        skipMisc(true);
        if (atEnd())
            failHere("no root element");
        Tag root = openTag();
        Value value;
        if (root.name == "plist") {
            if (root.empty)
                failHere("empty <plist> element");
            skipMisc(false);
            if (startsWith("</"))
                failHere("<plist> holds no value");
            value = parseValue(openTag(), 0);
            skipMisc(false);
            closeTag("plist");
        } else {
            value = parseValue(root, 0);
        }
        skipMisc(false);
        if (!atEnd())
            failHere("unexpected content after the root element");
        return value;
    }

  private:
    bool atEnd() const { return pos_ >= s_.size(); }
    bool startsWith(std::string_view prefix) const {
        return s_.substr(pos_, prefix.size()) == prefix;
    }

    [[noreturn]] void failHere(const std::string& message) const {
        size_t line = 1;
        const size_t end = pos_ < s_.size() ? pos_ : s_.size();
        for (size_t i = 0; i < end; ++i)
            line += s_[i] == '\n';
        fail("XML property list: " + message + " (line " + std::to_string(line) + ")");
    }

    void skipPast(std::string_view terminator, const char* what) {
        const size_t found = s_.find(terminator, pos_);
        if (found == std::string_view::npos)
            failHere(std::string("unterminated ") + what);
        pos_ = found + terminator.size();
    }

    void skipDoctype() {
        pos_ += 9;  // "<!DOCTYPE"
        int bracket = 0;
        char quote = 0;
        while (!atEnd()) {
            const char c = s_[pos_++];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++bracket;
            } else if (c == ']') {
                --bracket;
            } else if (c == '>' && bracket <= 0) {
                return;
            }
        }
        failHere("unterminated DOCTYPE");
    }

    // White space, comments and processing instructions (and, in the prolog, a DOCTYPE).
    void skipMisc(bool prolog) {
        while (!atEnd()) {
            if (isSpace(s_[pos_])) {
                ++pos_;
            } else if (startsWith("<!--")) {
                pos_ += 4;
                skipPast("-->", "comment");
            } else if (startsWith("<?")) {
                pos_ += 2;
                skipPast("?>", "processing instruction");
            } else if (prolog && startsWith("<!DOCTYPE")) {
                skipDoctype();
            } else {
                return;
            }
        }
    }

    Tag openTag() {
        if (atEnd() || s_[pos_] != '<')
            failHere("expected an element");
        ++pos_;
        Tag tag;
        while (!atEnd() && isNameChar(s_[pos_]))
            tag.name.push_back(s_[pos_++]);
        if (tag.name.empty())
            failHere("malformed element name");
        // Attributes are skipped; quoted values may hold '>' and '/'.
        char quote = 0;
        while (!atEnd()) {
            const char c = s_[pos_];
            if (quote) {
                if (c == quote)
                    quote = 0;
                ++pos_;
            } else if (c == '"' || c == '\'') {
                quote = c;
                ++pos_;
            } else if (c == '>') {
                ++pos_;
                return tag;
            } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '>') {
                pos_ += 2;
                tag.empty = true;
                return tag;
            } else if (c == '<') {
                failHere("malformed <" + tag.name + "> tag");
            } else {
                ++pos_;
            }
        }
        failHere("unterminated <" + tag.name + "> tag");
    }

    void closeTag(std::string_view name) {
        if (!startsWith("</"))
            failHere("expected </" + std::string(name) + ">");
        pos_ += 2;
        if (s_.substr(pos_, name.size()) != name)
            failHere("mismatched closing tag, expected </" + std::string(name) + ">");
        pos_ += name.size();
        while (!atEnd() && isSpace(s_[pos_]))
            ++pos_;
        if (atEnd() || s_[pos_] != '>')
            failHere("malformed closing tag </" + std::string(name) + ">");
        ++pos_;
    }

    void appendEntity(std::string& out) {
        const size_t semi = s_.find(';', pos_);
        if (semi == std::string_view::npos || semi - pos_ > 12)
            failHere("malformed entity");
        const std::string_view name = s_.substr(pos_ + 1, semi - pos_ - 1);
        if (name == "lt") {
            out.push_back('<');
        } else if (name == "gt") {
            out.push_back('>');
        } else if (name == "amp") {
            out.push_back('&');
        } else if (name == "quot") {
            out.push_back('"');
        } else if (name == "apos") {
            out.push_back('\'');
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
                cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                failHere("invalid character reference");
            }
            appendUtf8(out, cp);
        } else {
            failHere("unknown entity &" + std::string(name) + ";");
        }
        pos_ = semi + 1;
    }

    // Character data up to the element's closing tag, which is consumed.
    std::string readText(const Tag& tag) {
        std::string out;
        if (tag.empty)
            return out;
        while (true) {
            if (atEnd())
                failHere("unterminated <" + tag.name + ">");
            const char c = s_[pos_];
            if (c == '&') {
                appendEntity(out);
            } else if (c == '<') {
                if (startsWith("<![CDATA[")) {
                    pos_ += 9;
                    const size_t end = s_.find("]]>", pos_);
                    if (end == std::string_view::npos)
                        failHere("unterminated CDATA section");
                    out.append(s_.substr(pos_, end - pos_));
                    pos_ = end + 3;
                } else if (startsWith("<!--")) {
                    pos_ += 4;
                    skipPast("-->", "comment");
                } else if (startsWith("</")) {
                    closeTag(tag.name);
                    return out;
                } else {
                    failHere("unexpected element inside <" + tag.name + ">");
                }
            } else {
                const size_t next = s_.find_first_of("&<", pos_);
                const size_t end = next == std::string_view::npos ? s_.size() : next;
                out.append(s_.substr(pos_, end - pos_));
                pos_ = end;
            }
        }
    }

    Value parseValue(const Tag& tag, int depth) {
        const std::string& n = tag.name;
        if (n == "dict")
            return parseDict(tag, depth + 1);
        if (n == "array")
            return parseArray(tag, depth + 1);
        if (n == "string")
            return Value(readText(tag));
        if (n == "true" || n == "false") {
            if (!tag.empty)
                closeTag(n);
            return Value::boolean(n == "true");
        }
        if (n == "integer")
            return parseInteger(readText(tag));
        if (n == "real")
            return parseReal(readText(tag));
        if (n == "date")
            return parseDate(readText(tag));
        if (n == "data")
            return parseData(readText(tag));
        if (n == "key")
            failHere("<key> outside a dictionary");
        failHere("unknown element <" + n + ">");
    }

    void checkDepth(int depth) {
        if (depth > PropertyList::kMaxDepth)
            failHere("nesting too deep");
    }

    Value parseDict(const Tag& tag, int depth) {
        checkDepth(depth);
        std::vector<std::pair<Value, Value>> entries;
        if (!tag.empty) {
            while (true) {
                skipMisc(false);
                if (startsWith("</")) {
                    closeTag("dict");
                    break;
                }
                Tag keyTag = openTag();
                if (keyTag.name != "key")
                    failHere("expected <key> in dictionary, found <" + keyTag.name + ">");
                Value key(readText(keyTag));
                skipMisc(false);
                if (atEnd() || startsWith("</"))
                    failHere("dictionary key without a value");
                Value value = parseValue(openTag(), depth);
                entries.emplace_back(std::move(key), std::move(value));
            }
        }
        return Value::fromObject(makeDictionary(std::move(entries)));
    }

    Value parseArray(const Tag& tag, int depth) {
        checkDepth(depth);
        std::vector<Value> values;
        if (!tag.empty) {
            while (true) {
                skipMisc(false);
                if (startsWith("</")) {
                    closeTag("array");
                    break;
                }
                values.push_back(parseValue(openTag(), depth));
            }
        }
        return Value::fromObject(Array::make(std::move(values)));
    }

    Value parseInteger(const std::string& raw) {
        std::string_view t = trim(raw);
        bool negative = false;
        if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
            negative = t[0] == '-';
            t.remove_prefix(1);
        }
        int base = 10;
        if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
            base = 16;
            t.remove_prefix(2);
        }
        uint64_t magnitude = 0;
        auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
        if (t.empty() || ec != std::errc() || end != t.data() + t.size()) {
            failHere("invalid <integer> \"" + raw + "\"");
        }
        if (!negative) {
            if (magnitude <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
                return Value(Number::fromInt64(static_cast<int64_t>(magnitude)));
            }
            return Value(Number::fromUInt64(magnitude));
        }
        if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1) {
            failHere("<integer> out of range \"" + raw + "\"");
        }
        return Value(Number::fromInt64(static_cast<int64_t>(0 - magnitude)));
    }

    Value parseReal(const std::string& raw) {
        std::string_view t = trim(raw);
        bool negative = false;
        std::string_view body = t;
        if (!body.empty() && (body[0] == '-' || body[0] == '+')) {
            negative = body[0] == '-';
            body.remove_prefix(1);
        }
        if (equalsIgnoringCase(body, "nan"))
            return Value(std::numeric_limits<double>::quiet_NaN());
        if (equalsIgnoringCase(body, "inf") || equalsIgnoringCase(body, "infinity")) {
            const double inf = std::numeric_limits<double>::infinity();
            return Value(negative ? -inf : inf);
        }
        double d = 0;
        auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), d);
        if (body.empty() || end != body.data() + body.size() ||
            (ec != std::errc() && ec != std::errc::result_out_of_range)) {
            failHere("invalid <real> \"" + raw + "\"");
        }
        return Value(negative ? -d : d);
    }

    // YYYY-MM-DD, optionally followed by THH:MM:SS with an optional fraction, and an optional Z.
    Value parseDate(const std::string& raw) {
        const std::string_view t = trim(raw);
        size_t i = 0;
        auto number = [&](size_t width) -> int {
            int v = 0;
            for (size_t k = 0; k < width; ++k, ++i) {
                if (i >= t.size() || t[i] < '0' || t[i] > '9')
                    failHere("invalid <date> \"" + raw + "\"");
                v = v * 10 + (t[i] - '0');
            }
            return v;
        };
        auto expect = [&](char c) {
            if (i >= t.size() || t[i] != c)
                failHere("invalid <date> \"" + raw + "\"");
            ++i;
        };
        const int year = number(4);
        expect('-');
        const int month = number(2);
        expect('-');
        const int day = number(2);
        int hour = 0, minute = 0, second = 0;
        double fraction = 0;
        if (i < t.size() && t[i] == 'T') {
            ++i;
            hour = number(2);
            expect(':');
            minute = number(2);
            expect(':');
            second = number(2);
            if (i < t.size() && t[i] == '.') {
                ++i;
                double scale = 0.1;
                const size_t start = i;
                while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
                    fraction += (t[i] - '0') * scale;
                    scale /= 10;
                    ++i;
                }
                if (i == start)
                    failHere("invalid <date> \"" + raw + "\"");
            }
        }
        if (i < t.size() && t[i] == 'Z')
            ++i;
        if (i != t.size() || month < 1 || month > 12 || day < 1 ||
            static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month)) ||
            hour > 23 || minute > 59 || second > 59) {
            failHere("invalid <date> \"" + raw + "\"");
        }
        const int64_t days =
            daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
        const double seconds =
            static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second) + fraction;
        return Value(Date{seconds});
    }

    Value parseData(const std::string& raw) {
        std::string compact;
        compact.reserve(raw.size());
        for (char c : raw) {
            if (!isSpace(c))
                compact.push_back(c);
        }
        // Writers differ on padding; restore it before the strict decoder looks.
        while (compact.size() % 4 != 0)
            compact.push_back('=');
        auto bytes = Base64::decode(compact);
        if (!bytes)
            failHere("invalid Base64 in <data>");
        return Value(std::move(*bytes));
    }

    std::string_view s_;
    size_t pos_ = 0;
};

}  // namespace

Value XmlPropertyListReader::read(std::string_view text) {
    return XmlParser(text).parseDocument();
}

}  // namespace plat::plist
