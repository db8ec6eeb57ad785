#pragma once
// Message digests over byte ranges: MD5 (RFC 1321) and SHA-256 (FIPS 180-4), computed with
// OpenSSL's libcrypto, and the hexadecimal text of a digest in either letter case.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace plat {

class Digest {
  public:
    using Md5 = std::array<uint8_t, 16>;
    using Sha256 = std::array<uint8_t, 32>;

    static Md5 md5(std::span<const uint8_t> bytes);
    static Md5 md5(std::string_view text) { return md5(asBytes(text)); }
    static Sha256 sha256(std::span<const uint8_t> bytes);
    static Sha256 sha256(std::string_view text) { return sha256(asBytes(text)); }

    // Two hexadecimal digits per byte ("%02x", or "%02X" when upperCase).
    static std::string hex(std::span<const uint8_t> bytes, bool upperCase = false);

  private:
    static std::span<const uint8_t> asBytes(std::string_view text) {
        return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
    }
};

}  // namespace plat
