#include "platform/crypto/ZipCipher.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <zlib.h>

#include <cstring>
#include <vector>

namespace plat {

// ---- traditional PKWARE ------------------------------------------------------------------------

namespace {

// One byte of the CRC-32 that zip uses, through zlib's table (without zlib's pre- and
// post-inversion, as the cipher's key schedule wants).
uint32_t crc32Byte(uint32_t crc, uint8_t b) {
    static const z_crc_t* table = get_crc_table();
    return static_cast<uint32_t>(table[(crc ^ b) & 0xFF]) ^ (crc >> 8);
}

}  // namespace

ZipCryptoCipher::ZipCryptoCipher(std::string_view password)
    : keys_{0x12345678u, 0x23456789u, 0x34567890u} {
    for (char c : password)
        update(static_cast<uint8_t>(c));
}

void ZipCryptoCipher::update(uint8_t plain) {
    keys_[0] = crc32Byte(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = crc32Byte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

uint8_t ZipCryptoCipher::keyByte() const {
    const uint32_t t = (keys_[2] & 0xFFFF) | 2;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

void ZipCryptoCipher::decrypt(std::span<uint8_t> data) {
    for (uint8_t& b : data) {
        b ^= keyByte();
        update(b);
    }
}

void ZipCryptoCipher::encrypt(std::span<uint8_t> data) {
    for (uint8_t& b : data) {
        const uint8_t plain = b;
        b ^= keyByte();
        update(plain);
    }
}

bool ZipCryptoCipher::decryptHeader(std::span<uint8_t, kHeaderLength> header, uint8_t check) {
    decrypt(header);
    return header[kHeaderLength - 1] == check;
}

// ---- WinZip AES --------------------------------------------------------------------------------

struct ZipAesCipher::State {
    std::vector<uint8_t> aesKey;
    std::vector<uint8_t> macKey;
    EVP_CIPHER_CTX* ecb = nullptr;
    EVP_MAC* mac = nullptr;
    EVP_MAC_CTX* hmac = nullptr;
    std::array<uint8_t, 16> counter{};
    std::array<uint8_t, 16> stream{};
    size_t used = 16;  // bytes of `stream` already used
    ~State() {
        EVP_CIPHER_CTX_free(ecb);
        EVP_MAC_CTX_free(hmac);
        EVP_MAC_free(mac);
    }
};

size_t ZipAesCipher::saltLength(int strength) {
    switch (strength) {
        case 1:
            return 8;
        case 2:
            return 12;
        case 3:
            return 16;
        default:
            return 0;
    }
}

std::optional<ZipAesCipher> ZipAesCipher::make(std::string_view password, int strength,
                                               std::span<const uint8_t> salt) {
    const size_t saltLen = saltLength(strength);
    if (saltLen == 0 || salt.size() != saltLen)
        return std::nullopt;
    const size_t keyLen = saltLen * 2;
    std::vector<uint8_t> derived(2 * keyLen + kVerifierLength);
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt.data(),
                               static_cast<int>(salt.size()), 1000,
                               static_cast<int>(derived.size()), derived.data()) != 1)
        return std::nullopt;
    auto state = std::make_unique<State>();
    state->aesKey.assign(derived.begin(), derived.begin() + static_cast<long>(keyLen));
    state->macKey.assign(derived.begin() + static_cast<long>(keyLen),
                         derived.begin() + static_cast<long>(2 * keyLen));
    const EVP_CIPHER* cipher = keyLen == 16   ? EVP_aes_128_ecb()
                               : keyLen == 24 ? EVP_aes_192_ecb()
                                              : EVP_aes_256_ecb();
    state->ecb = EVP_CIPHER_CTX_new();
    state->mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    state->hmac = state->mac ? EVP_MAC_CTX_new(state->mac) : nullptr;
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    if (!state->ecb || !state->hmac ||
        EVP_EncryptInit_ex(state->ecb, cipher, nullptr, state->aesKey.data(), nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(state->ecb, 0) != 1 ||
        EVP_MAC_init(state->hmac, state->macKey.data(), keyLen, params) != 1)
        return std::nullopt;
    ZipAesCipher out(std::move(state));
    std::memcpy(out.verifier_.data(), derived.data() + 2 * keyLen, kVerifierLength);
    return out;
}

ZipAesCipher::ZipAesCipher(std::unique_ptr<State> state) : state_(std::move(state)) {}
ZipAesCipher::ZipAesCipher(ZipAesCipher&&) noexcept = default;
ZipAesCipher& ZipAesCipher::operator=(ZipAesCipher&&) noexcept = default;
ZipAesCipher::~ZipAesCipher() = default;

void ZipAesCipher::crypt(std::span<uint8_t> data, bool encrypting) {
    State& s = *state_;
    if (!encrypting)
        EVP_MAC_update(s.hmac, data.data(), data.size());
    for (uint8_t& b : data) {
        if (s.used == s.stream.size()) {
            // The next counter block: a 128-bit little-endian count from 1.
            for (uint8_t& c : s.counter) {
                if (++c != 0)
                    break;
            }
            int len = 0;
            EVP_EncryptUpdate(s.ecb, s.stream.data(), &len, s.counter.data(),
                              static_cast<int>(s.counter.size()));
            s.used = 0;
        }
        b ^= s.stream[s.used++];
    }
    if (encrypting)
        EVP_MAC_update(s.hmac, data.data(), data.size());
}

std::array<uint8_t, ZipAesCipher::kAuthCodeLength> ZipAesCipher::authCode() {
    std::array<uint8_t, EVP_MAX_MD_SIZE> mac{};
    size_t len = 0;
    EVP_MAC_final(state_->hmac, mac.data(), &len, mac.size());
    std::array<uint8_t, kAuthCodeLength> out{};
    std::memcpy(out.data(), mac.data(), kAuthCodeLength);
    return out;
}

}  // namespace plat
