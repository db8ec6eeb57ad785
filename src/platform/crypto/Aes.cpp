#include "platform/crypto/Aes.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace plat {
namespace {

const EVP_CIPHER* cipherFor(size_t keyLength) {
    switch (keyLength) {
        case 16:
            return EVP_aes_128_cbc();
        case 24:
            return EVP_aes_192_cbc();
        case 32:
            return EVP_aes_256_cbc();
        default:
            return nullptr;
    }
}

std::optional<Bytes> run(std::span<const uint8_t> data, std::span<const uint8_t> key,
                         const Aes::Iv& iv, bool encrypt) {
    const EVP_CIPHER* cipher = cipherFor(key.size());
    if (!cipher || data.size() > static_cast<size_t>(INT_MAX) - 32)
        return std::nullopt;
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            &EVP_CIPHER_CTX_free);
    if (!context || EVP_CipherInit_ex(context.get(), cipher, nullptr, key.data(), iv.data(),
                                      encrypt ? 1 : 0) != 1) {
        return std::nullopt;
    }
    Bytes out(data.size() + 32);
    int written = 0, last = 0;
    if (EVP_CipherUpdate(context.get(), out.data(), &written, data.data(),
                         static_cast<int>(data.size())) != 1 ||
        EVP_CipherFinal_ex(context.get(), out.data() + written, &last) != 1) {
        return std::nullopt;
    }
    out.resize(static_cast<size_t>(written + last));
    return out;
}

}  // namespace

std::optional<Bytes> Aes::encryptCbc(std::span<const uint8_t> data, std::span<const uint8_t> key,
                                     const Iv& iv) {
    return run(data, key, iv, true);
}

std::optional<Bytes> Aes::decryptCbc(std::span<const uint8_t> data, std::span<const uint8_t> key,
                                     const Iv& iv) {
    return run(data, key, iv, false);
}

}  // namespace plat
