#pragma once
// DataSupport: the digests and the Base64 text of the sign-in credentials. Texts are hashed as
// their UTF-8 bytes up to the first zero byte, as the service hashes them.
//
//   DataSupport::SHA256HashBase64("secret|alice")  -> 44 Base64 characters
//   DataSupport::SHA256Hash("abc")                 -> 64 upper-case hexadecimal digits
//   DataSupport::MD5Hash("abc")                    -> 32 upper-case hexadecimal digits
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class DataSupport {
  public:
    // Base64 (standard alphabet, "=" padding, no line breaks); the empty text for no bytes.
    static std::string Base64Encode(std::span<const uint8_t> data);
    // Base64Encode of the text's SHA-256 digest.
    static std::string SHA256HashBase64(std::string_view text);
    // The text's SHA-256 digest in upper-case hexadecimal.
    static std::string SHA256Hash(std::string_view text);
    // The text's MD5 digest in upper-case hexadecimal ("%02X" per byte).
    static std::string MD5Hash(std::string_view text);
};
