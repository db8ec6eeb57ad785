#include "vnlib/service/auth/DataSupport.h"

#include "platform/crypto/Base64.h"
#include "platform/crypto/Digest.h"

namespace {

// The bytes a C-string view of the text would give: up to the first zero byte.
std::string_view untilZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::string DataSupport::Base64Encode(std::span<const uint8_t> data) {
    return plat::Base64::encode(data);
}

std::string DataSupport::SHA256HashBase64(std::string_view text) {
    const auto digest = plat::Digest::sha256(untilZero(text));
    return Base64Encode(digest);
}

std::string DataSupport::SHA256Hash(std::string_view text) {
    return plat::Digest::hex(plat::Digest::sha256(untilZero(text)), true);
}

std::string DataSupport::MD5Hash(std::string_view text) {
    return plat::Digest::hex(plat::Digest::md5(untilZero(text)), true);
}
