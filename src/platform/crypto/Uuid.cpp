#include "platform/crypto/Uuid.h"

#include <array>
#include <cstdint>

#include "platform/crypto/Random.h"

namespace plat {

std::string Uuid::createString() {
    std::array<uint8_t, 16> b{};
    Random::fill(b);
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (size_t i = 0; i < b.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.push_back('-');
        out.push_back(kDigits[b[i] >> 4]);
        out.push_back(kDigits[b[i] & 0x0F]);
    }
    return out;
}

}  // namespace plat
