#include "platform/crypto/Digest.h"

#include <openssl/evp.h>

#include <memory>

#include "platform/core/Exception.h"

namespace plat {
namespace {

struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

// Runs one EVP digest over the bytes. The digests used here cannot fail on valid input; a failure
// means the crypto library itself is unusable, which is a programming or installation error.
template <size_t N>
std::array<uint8_t, N> evpDigest(const EVP_MD* md, std::span<const uint8_t> bytes) {
    std::array<uint8_t, N> out{};
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    unsigned int length = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), out.data(), &length) != 1 || length != N) {
        raise(NSInternalInconsistencyException, "Digest computation failed");
    }
    return out;
}

}  // namespace

Digest::Md5 Digest::md5(std::span<const uint8_t> bytes) {
    return evpDigest<16>(EVP_md5(), bytes);
}

Digest::Sha256 Digest::sha256(std::span<const uint8_t> bytes) {
    return evpDigest<32>(EVP_sha256(), bytes);
}

std::string Digest::hex(std::span<const uint8_t> bytes, bool upperCase) {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0F]);
    }
    return out;
}

}  // namespace plat
