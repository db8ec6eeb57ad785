#include "platform/net/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <utility>

#include "platform/net/NetText.h"
#include "platform/net/Url.h"

namespace plat {
namespace {

struct Known {
    StringEncoding encoding;
    const char* iconvName;
    const char* ianaName;  // the name we answer
};

constexpr Known kKnown[] = {
    {NSASCIIStringEncoding, "ASCII", "us-ascii"},
    {NSUTF8StringEncoding, "UTF-8", "utf-8"},
    {NSISOLatin1StringEncoding, "ISO-8859-1", "iso-8859-1"},
    {NSUnicodeStringEncoding, "UTF-16", "utf-16"},
    {NSWindowsCP1252StringEncoding, "CP1252", "windows-1252"},
    {NSUTF16BigEndianStringEncoding, "UTF-16BE", "utf-16be"},
    {NSUTF16LittleEndianStringEncoding, "UTF-16LE", "utf-16le"},
    {NSUTF32StringEncoding, "UTF-32", "utf-32"},
    {NSUTF32BigEndianStringEncoding, "UTF-32BE", "utf-32be"},
    {NSUTF32LittleEndianStringEncoding, "UTF-32LE", "utf-32le"},
    {kThaiTis620StringEncoding, "TIS-620", "tis-620"},
    {kThaiWindows874StringEncoding, "CP874", "windows-874"},
};

const Known* known(StringEncoding encoding) {
    for (const auto& k : kKnown) {
        if (k.encoding == encoding)
            return &k;
    }
    return nullptr;
}

// One conversion through iconv; nothing on any invalid or unrepresentable byte.
std::optional<std::string> convert(std::string_view bytes, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    out.resize(bytes.size() * 4 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(outPtr - out.data());
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        ok = false;  // EILSEQ or EINVAL: invalid or cut short
        break;
    }
    if (ok && iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
        ok = false;
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(static_cast<size_t>(outPtr - out.data()));
    return out;
}

}  // namespace

std::optional<StringEncoding> TextEncoding::encodingForIanaName(std::string_view name) {
    static const std::pair<const char*, StringEncoding> kNames[] = {
        {"us-ascii", NSASCIIStringEncoding},
        {"ascii", NSASCIIStringEncoding},
        {"utf-8", NSUTF8StringEncoding},
        {"utf8", NSUTF8StringEncoding},
        {"iso-8859-1", NSISOLatin1StringEncoding},
        {"iso_8859-1", NSISOLatin1StringEncoding},
        {"latin1", NSISOLatin1StringEncoding},
        {"l1", NSISOLatin1StringEncoding},
        {"utf-16", NSUnicodeStringEncoding},
        {"utf-16be", NSUTF16BigEndianStringEncoding},
        {"utf-16le", NSUTF16LittleEndianStringEncoding},
        {"utf-32", NSUTF32StringEncoding},
        {"utf-32be", NSUTF32BigEndianStringEncoding},
        {"utf-32le", NSUTF32LittleEndianStringEncoding},
        {"windows-1252", NSWindowsCP1252StringEncoding},
        {"cp1252", NSWindowsCP1252StringEncoding},
        {"tis-620", kThaiTis620StringEncoding},
        {"tis620", kThaiTis620StringEncoding},
        {"iso-8859-11", kThaiTis620StringEncoding},
        {"windows-874", kThaiWindows874StringEncoding},
        {"cp874", kThaiWindows874StringEncoding},
    };
    const std::string lower = net_text::asciiLowercase(net_text::trim(name));
    for (const auto& [text, encoding] : kNames) {
        if (lower == text)
            return encoding;
    }
    return std::nullopt;
}

std::optional<std::string> TextEncoding::ianaNameForEncoding(StringEncoding encoding) {
    if (const Known* k = known(encoding))
        return std::string(k->ianaName);
    return std::nullopt;
}

std::optional<std::string> TextEncoding::decode(std::string_view bytes, StringEncoding encoding) {
    const Known* k = known(encoding);
    if (!k)
        return std::nullopt;
    return convert(bytes, "UTF-8", k->iconvName);
}

std::optional<std::string> TextEncoding::decode(std::span<const uint8_t> bytes,
                                                StringEncoding encoding) {
    return decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                  encoding);
}

std::optional<std::string> TextEncoding::encode(std::string_view text, StringEncoding encoding) {
    const Known* k = known(encoding);
    if (!k)
        return std::nullopt;
    // UTF-16 is written big-endian, without a byte-order mark.
    return convert(text, encoding == NSUnicodeStringEncoding ? "UTF-16BE" : k->iconvName, "UTF-8");
}

std::optional<std::string> TextEncoding::percentEscape(std::string_view text,
                                                       StringEncoding encoding) {
    const auto bytes = encode(text, encoding);
    if (!bytes)
        return std::nullopt;
    return Url::percentEncode(*bytes, "-_.");
}

std::string mimeTypeForPathExtension(std::string_view extension) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {"txt", "text/plain"},
        {"html", "text/html"},
        {"htm", "text/html"},
        {"css", "text/css"},
        {"csv", "text/csv"},
        {"xml", "application/xml"},
        {"js", "text/javascript"},
        {"json", "application/json"},
        {"pdf", "application/pdf"},
        {"zip", "application/zip"},
        {"gz", "application/gzip"},
        {"epub", "application/epub+zip"},
        {"plist", "application/x-plist"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"png", "image/png"},
        {"gif", "image/gif"},
        {"webp", "image/webp"},
        {"svg", "image/svg+xml"},
        {"tif", "image/tiff"},
        {"tiff", "image/tiff"},
        {"bmp", "image/bmp"},
        {"ico", "image/vnd.microsoft.icon"},
        {"mp3", "audio/mpeg"},
        {"m4a", "audio/mp4"},
        {"wav", "audio/wav"},
        {"aac", "audio/aac"},
        {"mp4", "video/mp4"},
        {"m4v", "video/x-m4v"},
        {"mov", "video/quicktime"},
        {"doc", "application/msword"},
        {"rtf", "application/rtf"},
        {"tar", "application/x-tar"},
    };
    const std::string lower = net_text::asciiLowercase(extension);
    for (const auto& [ext, type] : kTypes) {
        if (lower == ext)
            return type;
    }
    return "application/octet-stream";
}

}  // namespace plat
