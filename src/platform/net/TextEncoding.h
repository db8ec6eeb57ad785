#pragma once
// Text encodings by number, as the request engine stores them: 1 ASCII, 4 UTF-8, 5 ISO Latin-1,
// 10 UTF-16 (a byte-order mark decides, else big-endian), 12 Windows-1252, UTF-16 and UTF-32 in
// a fixed byte order, and the two Thai encodings TIS-620 and Windows-874. Decoding is strict: a
// lone surrogate or a code point beyond U+10FFFF is invalid in every Unicode encoding. IANA charset
// names map to them and back; bytes decode to UTF-8 text through iconv, and invalid bytes give
// nothing rather than a guess.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace plat {

using StringEncoding = uint32_t;
inline constexpr StringEncoding NSASCIIStringEncoding = 1;
inline constexpr StringEncoding NSUTF8StringEncoding = 4;
inline constexpr StringEncoding NSISOLatin1StringEncoding = 5;
inline constexpr StringEncoding NSUnicodeStringEncoding = 10;
inline constexpr StringEncoding NSWindowsCP1252StringEncoding = 12;
inline constexpr StringEncoding NSUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr StringEncoding NSUTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr StringEncoding NSUTF32StringEncoding = 0x8c000100;
inline constexpr StringEncoding NSUTF32BigEndianStringEncoding = 0x98000100;
inline constexpr StringEncoding NSUTF32LittleEndianStringEncoding = 0x9c000100;
// The Thai encodings, numbered as the platform numbers encodings it has no constant for.
inline constexpr StringEncoding kThaiTis620StringEncoding = 0x8000020B;
inline constexpr StringEncoding kThaiWindows874StringEncoding = 0x8000041D;

class TextEncoding {
  public:
    // "utf-8", "ISO-8859-1", "tis-620", ... (any case); nothing for a name we do not know.
    static std::optional<StringEncoding> encodingForIanaName(std::string_view name);
    // "utf-8" for 4, ...; nothing for an unknown number.
    static std::optional<std::string> ianaNameForEncoding(StringEncoding encoding);
    // The bytes as UTF-8 text; nothing when they are not valid in the encoding.
    static std::optional<std::string> decode(std::span<const uint8_t> bytes,
                                             StringEncoding encoding);
    static std::optional<std::string> decode(std::string_view bytes, StringEncoding encoding);
    // UTF-8 text in the encoding; nothing when a character cannot be written in it.
    static std::optional<std::string> encode(std::string_view text, StringEncoding encoding);
    // The text's bytes in the encoding with every byte but ASCII letters, digits, "-", "_"
    // and "." written as %XX (upper-case hex); nothing when the text cannot be encoded.
    static std::optional<std::string> percentEscape(std::string_view text, StringEncoding encoding);
};

// The MIME type of a file name extension ("pdf" -> "application/pdf", any case), from our own
// table; "application/octet-stream" for any other.
std::string mimeTypeForPathExtension(std::string_view extension);

}  // namespace plat
