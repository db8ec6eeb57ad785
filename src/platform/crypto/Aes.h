#pragma once
// plat::Aes: AES in CBC mode with PKCS#7 padding over OpenSSL; AES-128, -192 or -256 by the key's
// length (16, 24 or 32 bytes), with the caller's 16-byte initialisation vector. Nothing when the
// key or IV has another length, or when decryption finds bad padding.
#include <array>
#include <optional>
#include <span>

#include "platform/core/Value.h"

namespace plat {

class Aes {
  public:
    using Iv = std::array<uint8_t, 16>;
    static std::optional<Bytes> encryptCbc(std::span<const uint8_t> data,
                                           std::span<const uint8_t> key, const Iv& iv);
    static std::optional<Bytes> decryptCbc(std::span<const uint8_t> data,
                                           std::span<const uint8_t> key, const Iv& iv);
};

}  // namespace plat
