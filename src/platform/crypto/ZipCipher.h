#pragma once
// Ciphers of encrypted zip entries, for an unzip library that cannot decrypt by itself:
// - ZipCryptoCipher: the traditional PKWARE stream cipher (a 12-byte header whose last byte
//   checks the password, then the data).
// - ZipAesCipher: WinZip AES (AE-1/AE-2): PBKDF2-HMAC-SHA1 keys from the password and salt, a
//   2-byte password verifier, AES-CTR with a little-endian counter from 1, and HMAC-SHA1 over
//   the encrypted bytes, of which the first 10 bytes end the entry. CTR is its own inverse;
//   crypt() authenticates the encrypted side in either direction.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "platform/core/Value.h"

namespace plat {

class ZipCryptoCipher {
  public:
    static constexpr size_t kHeaderLength = 12;
    explicit ZipCryptoCipher(std::string_view password);
    // Decrypts the header; whether its last byte equals `check` (the high byte of the entry's
    // CRC, or of its DOS time when the sizes follow the data).
    bool decryptHeader(std::span<uint8_t, kHeaderLength> header, uint8_t check);
    void decrypt(std::span<uint8_t> data);
    void encrypt(std::span<uint8_t> data);

  private:
    void update(uint8_t plain);
    uint8_t keyByte() const;
    uint32_t keys_[3];
};

class ZipAesCipher {
  public:
    static constexpr size_t kVerifierLength = 2;
    static constexpr size_t kAuthCodeLength = 10;
    // Salt length for a strength of 1 (AES-128), 2 (-192) or 3 (-256); 0 for another.
    static size_t saltLength(int strength);

    // Nothing when the strength is unknown or the salt has the wrong length.
    static std::optional<ZipAesCipher> make(std::string_view password, int strength,
                                            std::span<const uint8_t> salt);
    ZipAesCipher(ZipAesCipher&&) noexcept;
    ZipAesCipher& operator=(ZipAesCipher&&) noexcept;
    ~ZipAesCipher();

    const std::array<uint8_t, kVerifierLength>& passwordVerifier() const { return verifier_; }
    // Encrypts or decrypts in place, in any pieces, adding the encrypted bytes to the HMAC.
    void crypt(std::span<uint8_t> data, bool encrypting);
    // The first 10 bytes of the HMAC of every encrypted byte so far.
    std::array<uint8_t, kAuthCodeLength> authCode();

  private:
    struct State;
    explicit ZipAesCipher(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
    std::array<uint8_t, kVerifierLength> verifier_{};
};

}  // namespace plat
