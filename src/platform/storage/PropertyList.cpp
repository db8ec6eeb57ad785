#include "platform/storage/PropertyList.h"

#include <cstring>
#include <string>
#include <string_view>

#include "platform/storage/BinaryPropertyListReader.h"
#include "platform/storage/OpenStepPropertyListReader.h"
#include "platform/storage/PropertyListSupport.h"
#include "platform/storage/XmlPropertyListReader.h"
#include "platform/storage/XmlPropertyListWriter.h"

namespace plat {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// XML when the first thing after white space is '<' that does not open old-style data: data is
// hexadecimal digits and white space up to '>', anything else is markup.
bool looksLikeXml(std::string_view text) {
    size_t i = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    if (i >= text.size() || text[i] != '<')
        return false;
    for (++i; i < text.size(); ++i) {
        const char c = text[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && !isSpace(c))
            return c != '>';
    }
    return false;
}

Value readText(std::string_view text, PropertyListFormat& format) {
    if (!plist::isValidUtf8(text))
        plist::fail("Property list text is not valid UTF-8");
    if (looksLikeXml(text)) {
        format = PropertyListFormat::XML;
        return plist::XmlPropertyListReader::read(text);
    }
    format = PropertyListFormat::OpenStep;
    return plist::OpenStepPropertyListReader::read(text);
}

Value parseAnyFormat(std::span<const uint8_t> data, PropertyListFormat& format) {
    if (data.empty())
        plist::fail("Property list is empty");
    if (data.size() >= 6 && std::memcmp(data.data(), "bplist", 6) == 0) {
        if (data.size() < 8 || std::memcmp(data.data(), "bplist00", 8) != 0) {
            plist::fail("Binary property list: unsupported version");
        }
        format = PropertyListFormat::Binary;
        return plist::BinaryPropertyListReader::read(data);
    }
    if (data.size() >= 2 &&
        ((data[0] == 0xFE && data[1] == 0xFF) || (data[0] == 0xFF && data[1] == 0xFE))) {
        auto text = plist::utf16ToUtf8(data.subspan(2), data[0] == 0xFE);
        if (!text)
            plist::fail("Property list text is not valid UTF-16");
        return readText(*text, format);
    }
    return readText(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                    format);
}

}  // namespace

Value PropertyList::propertyListWithData(std::span<const uint8_t> data, PropertyListFormat* format,
                                         Ref<Error>* error) {
    if (error)
        *error = nullptr;
    try {
        PropertyListFormat found = PropertyListFormat::XML;
        Value value = parseAnyFormat(data, found);
        if (format)
            *format = found;
        return value;
    } catch (const plist::ParseError& e) {
        if (error)
            *error = Error::withDescription(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                                            e.what());
    } catch (const std::bad_alloc&) {
        if (error) {
            *error = Error::withDescription(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                                            "Property list too large to read");
        }
    }
    return Value();
}

std::optional<Bytes> PropertyList::dataWithPropertyList(const Value& value,
                                                        PropertyListFormat format,
                                                        Ref<Error>* error) {
    if (error)
        *error = nullptr;
    if (format != PropertyListFormat::XML) {
        if (error) {
            *error = Error::withDescription(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                                            "Only the XML property-list format can be written");
        }
        return std::nullopt;
    }
    try {
        const std::string text = plist::XmlPropertyListWriter::write(value);
        return Bytes(text.begin(), text.end());
    } catch (const plist::ParseError& e) {
        if (error) {
            *error = Error::withDescription(
                NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                std::string("Property list invalid for writing: ") + e.what());
        }
    }
    return std::nullopt;
}

bool PropertyList::isValidPropertyList(const Value& value) {
    try {
        plist::XmlPropertyListWriter::validate(value);
        return true;
    } catch (const plist::ParseError&) {
        return false;
    }
}

}  // namespace plat
