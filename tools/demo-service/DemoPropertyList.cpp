#include "demo-service/DemoPropertyList.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace demo {
namespace {

using Json = nlohmann::json;

void writeXml(const Json& value, std::string& out) {
    if (value.is_object()) {
        out += "<dict>";
        for (const auto& [key, member] : value.items()) {
            out += "<key>" + markupEscaped(key) + "</key>";
            writeXml(member, out);
        }
        out += "</dict>";
    } else if (value.is_array()) {
        out += "<array>";
        for (const auto& member : value)
            writeXml(member, out);
        out += "</array>";
    } else if (value.is_boolean()) {
        out += value.get<bool>() ? "<true/>" : "<false/>";
    } else if (value.is_number_integer()) {
        out += "<integer>" + value.dump() + "</integer>";
    } else if (value.is_number()) {
        out += "<real>" + value.dump() + "</real>";
    } else {
        out += "<string>" + markupEscaped(value.is_string() ? value.get<std::string>() : "") +
               "</string>";
    }
}

// Binary property lists: every value is one object (no sharing), references and offsets
// 4 bytes wide.
class BinaryWriter {
  public:
    std::string write(const Json& root) {
        add(root);
        std::string out = "bplist00";
        for (const auto& object : objects_) {
            offsets_.push_back(static_cast<uint32_t>(out.size()));
            out += object;
        }
        const auto tableOffset = static_cast<uint64_t>(out.size());
        for (uint32_t offset : offsets_)
            appendBigEndian(out, offset, 4);
        out += std::string(6, '\0');
        out += static_cast<char>(4);  // offset size
        out += static_cast<char>(4);  // reference size
        appendBigEndian(out, objects_.size(), 8);
        appendBigEndian(out, 0, 8);  // the root is object 0
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

  private:
    static void appendBigEndian(std::string& out, uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    static void appendMarker(std::string& out, int kind, size_t count) {
        if (count < 15) {
            out += static_cast<char>((kind << 4) | static_cast<int>(count));
            return;
        }
        out += static_cast<char>((kind << 4) | 0xF);
        out += static_cast<char>(0x13);
        appendBigEndian(out, count, 8);
    }
    static std::string utf16(const std::string& text, size_t& units) {
        std::string out;
        units = 0;
        for (size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            uint32_t code = length == 1   ? c
                            : length == 2 ? c & 0x1F
                            : length == 3 ? c & 0x0F
                                          : c & 0x07;
            for (int k = 1; k < length && i + static_cast<size_t>(k) < text.size(); ++k)
                code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            i += static_cast<size_t>(length);
            if (code >= 0x10000) {
                code -= 0x10000;
                appendBigEndian(out, 0xD800 + (code >> 10), 2);
                appendBigEndian(out, 0xDC00 + (code & 0x3FF), 2);
                units += 2;
            } else {
                appendBigEndian(out, code, 2);
                ++units;
            }
        }
        return out;
    }

    size_t add(const Json& value) {
        const size_t index = objects_.size();
        objects_.emplace_back();
        std::string object;
        if (value.is_object() || value.is_array()) {
            std::vector<size_t> keys, members;
            for (const auto& [key, member] : value.items()) {
                if (value.is_object())
                    keys.push_back(add(Json(key)));
                members.push_back(add(member));
            }
            appendMarker(object, value.is_object() ? 0xD : 0xA, members.size());
            for (size_t key : keys)
                appendBigEndian(object, key, 4);
            for (size_t member : members)
                appendBigEndian(object, member, 4);
        } else if (value.is_boolean()) {
            object += static_cast<char>(value.get<bool>() ? 0x09 : 0x08);
        } else if (value.is_number_integer()) {
            object += static_cast<char>(0x13);
            appendBigEndian(object, static_cast<uint64_t>(value.get<int64_t>()), 8);
        } else if (value.is_number()) {
            const double real = value.get<double>();
            uint64_t bits = 0;
            static_assert(sizeof bits == sizeof real);
            std::memcpy(&bits, &real, sizeof bits);
            object += static_cast<char>(0x23);
            appendBigEndian(object, bits, 8);
        } else {
            const std::string text = value.is_string() ? value.get<std::string>() : "";
            bool ascii = true;
            for (char c : text)
                ascii = ascii && static_cast<unsigned char>(c) < 0x80;
            if (ascii) {
                appendMarker(object, 0x5, text.size());
                object += text;
            } else {
                size_t units = 0;
                const std::string encoded = utf16(text, units);
                appendMarker(object, 0x6, units);
                object += encoded;
            }
        }
        objects_[index] = std::move(object);
        return index;
    }

    std::vector<std::string> objects_;
    std::vector<uint32_t> offsets_;
};

}  // namespace

std::string xmlPropertyList(const Json& value) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
        "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">";
    writeXml(value, out);
    return out + "</plist>\n";
}

std::string binaryPropertyList(const Json& value) {
    return BinaryWriter().write(value);
}

std::string markupEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
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
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace demo
