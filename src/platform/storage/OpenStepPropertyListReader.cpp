#include "platform/storage/OpenStepPropertyListReader.h"

#include "platform/core/HexDigit.h"

#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/storage/PropertyList.h"
#include "platform/storage/PropertyListSupport.h"

namespace plat::plist {
namespace {

bool isUnquotedChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

class Parser {
  public:
    explicit Parser(std::string_view text) : s_(text) {}

    Value parseDocument() {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
        const size_t start = pos_;
        skipSpace();
        if (atEnd())
            failHere("empty property list");
        Value value = parseValue(0);
        skipSpace();
        if (atEnd())
            return value;
        if (value.isString() && s_[pos_] == '=') {
            // A strings file: key = value; pairs up to the end of the text.
            pos_ = start;
            return parseEntries(1, /*braced=*/false);
        }
        failHere("unexpected content after the value");
    }

  private:
    bool atEnd() const { return pos_ >= s_.size(); }

    [[noreturn]] void failHere(const std::string& message) const {
        size_t line = 1;
        const size_t end = pos_ < s_.size() ? pos_ : s_.size();
        for (size_t i = 0; i < end; ++i)
            line += s_[i] == '\n';
        fail("Old-style property list: " + message + " (line " + std::to_string(line) + ")");
    }

    void skipSpace() {
        while (!atEnd()) {
            const char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (s_.substr(pos_, 2) == "//") {
                const size_t end = s_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? s_.size() : end + 1;
            } else if (s_.substr(pos_, 2) == "/*") {
                const size_t end = s_.find("*/", pos_ + 2);
                if (end == std::string_view::npos)
                    failHere("unterminated comment");
                pos_ = end + 2;
            } else {
                return;
            }
        }
    }

    Value parseValue(int depth) {
        if (atEnd())
            failHere("unexpected end of text");
        const char c = s_[pos_];
        if (c == '{') {
            ++pos_;
            return parseEntries(depth + 1, /*braced=*/true);
        }
        if (c == '(') {
            ++pos_;
            return parseArray(depth + 1);
        }
        if (c == '<') {
            ++pos_;
            return parseData();
        }
        if (c == '"' || c == '\'')
            return Value(parseQuoted());
        if (isUnquotedChar(c))
            return Value(parseUnquoted());
        failHere(std::string("unexpected character '") + c + "'");
    }

    std::string parseKey() {
        if (atEnd())
            failHere("unexpected end of text");
        const char c = s_[pos_];
        if (c == '"' || c == '\'')
            return parseQuoted();
        if (isUnquotedChar(c))
            return parseUnquoted();
        failHere("dictionary key is not a string");
    }

    Value parseEntries(int depth, bool braced) {
        if (depth > PropertyList::kMaxDepth)
            failHere("nesting too deep");
        std::vector<std::pair<Value, Value>> entries;
        while (true) {
            skipSpace();
            if (braced && !atEnd() && s_[pos_] == '}') {
                ++pos_;
                break;
            }
            if (atEnd()) {
                if (braced)
                    failHere("unterminated dictionary");
                break;
            }
            Value key(parseKey());
            skipSpace();
            if (atEnd() || s_[pos_] != '=')
                failHere("expected '=' after dictionary key");
            ++pos_;
            skipSpace();
            Value value = parseValue(depth);
            entries.emplace_back(std::move(key), std::move(value));
            skipSpace();
            if (!atEnd() && s_[pos_] == ';') {
                ++pos_;
            } else if (!(braced && !atEnd() && s_[pos_] == '}')) {
                failHere("expected ';' after dictionary entry");
            }
        }
        return Value::fromObject(makeDictionary(std::move(entries)));
    }

    Value parseArray(int depth) {
        if (depth > PropertyList::kMaxDepth)
            failHere("nesting too deep");
        std::vector<Value> values;
        skipSpace();
        if (!atEnd() && s_[pos_] == ')') {
            ++pos_;
            return Value::fromObject(Array::make(std::move(values)));
        }
        while (true) {
            skipSpace();
            values.push_back(parseValue(depth));
            skipSpace();
            if (atEnd())
                failHere("unterminated array");
            if (s_[pos_] == ')') {
                ++pos_;
                break;
            }
            if (s_[pos_] != ',')
                failHere("expected ',' or ')' in array");
            ++pos_;
            skipSpace();
            if (!atEnd() && s_[pos_] == ')') {  // trailing comma
                ++pos_;
                break;
            }
        }
        return Value::fromObject(Array::make(std::move(values)));
    }

    Value parseData() {
        Bytes bytes;
        int high = -1;
        while (true) {
            if (atEnd())
                failHere("unterminated data");
            const char c = s_[pos_++];
            if (c == '>')
                break;
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
                continue;
            const int v = plat::hexDigitValue(c);
            if (v < 0)
                failHere("invalid character in data");
            if (high < 0) {
                high = v;
            } else {
                bytes.push_back(static_cast<uint8_t>(high << 4 | v));
                high = -1;
            }
        }
        if (high >= 0)
            failHere("odd number of hexadecimal digits in data");
        return Value(std::move(bytes));
    }

    std::string parseUnquoted() {
        const size_t start = pos_;
        while (!atEnd() && isUnquotedChar(s_[pos_]))
            ++pos_;
        return std::string(s_.substr(start, pos_ - start));
    }

    uint32_t hexEscape() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            if (atEnd() || plat::hexDigitValue(s_[pos_]) < 0)
                failHere("invalid \\U escape");
            v = v << 4 | static_cast<uint32_t>(plat::hexDigitValue(s_[pos_++]));
        }
        return v;
    }

    std::string parseQuoted() {
        const char quote = s_[pos_++];
        std::string out;
        while (true) {
            if (atEnd())
                failHere("unterminated string");
            const char c = s_[pos_++];
            if (c == quote)
                break;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (atEnd())
                failHere("unterminated string");
            const char e = s_[pos_++];
            switch (e) {
                case 'a':
                    out.push_back('\a');
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'v':
                    out.push_back('\v');
                    break;
                case 'U':
                case 'u': {
                    uint32_t cp = hexEscape();
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        if (s_.substr(pos_, 2) != "\\U" && s_.substr(pos_, 2) != "\\u") {
                            failHere("unpaired surrogate escape");
                        }
                        pos_ += 2;
                        const uint32_t low = hexEscape();
                        if (low < 0xDC00 || low > 0xDFFF)
                            failHere("unpaired surrogate escape");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if ((cp >= 0xDC00 && cp <= 0xDFFF) || cp == 0) {
                        failHere("invalid \\U escape");
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default:
                    if (e >= '0' && e <= '7') {
                        uint32_t v = static_cast<uint32_t>(e - '0');
                        for (int k = 0; k < 2 && !atEnd() && s_[pos_] >= '0' && s_[pos_] <= '7';
                             ++k) {
                            v = v * 8 + static_cast<uint32_t>(s_[pos_++] - '0');
                        }
                        if (v == 0)
                            failHere("NUL escape in string");
                        appendUtf8(out, v);  // octal escapes name Latin-1 characters
                    } else {
                        out.push_back(e);  // \\, \", \' and any other character as itself
                    }
            }
        }
        return out;
    }

    std::string_view s_;
    size_t pos_ = 0;
};

}  // namespace

Value OpenStepPropertyListReader::read(std::string_view text) {
    return Parser(text).parseDocument();
}

}  // namespace plat::plist
