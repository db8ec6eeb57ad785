#include "platform/crypto/Base64.h"

#include <array>

namespace plat {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeReverse() {
    std::array<int8_t, 256> table{};
    for (auto& t : table)
        t = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr std::array<int8_t, 256> kReverse = makeReverse();

}  // namespace

std::string Base64::encode(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = static_cast<uint32_t>(bytes[i]) << 16 |
                           static_cast<uint32_t>(bytes[i + 1]) << 8 | bytes[i + 2];
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = static_cast<uint32_t>(bytes[i]) << 16;
        if (rest == 2)
            v |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::optional<std::vector<uint8_t>> Base64::decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + static_cast<size_t>(k)];
            if (c == '=') {
                // Padding only in the last group, only in its last two places, and only trailing.
                if (!last || k < 2)
                    return std::nullopt;
                ++padding;
                v[k] = 0;
                continue;
            }
            if (padding > 0)
                return std::nullopt;
            v[k] = kReverse[static_cast<uint8_t>(c)];
            if (v[k] < 0)
                return std::nullopt;
        }
        const uint32_t bits = static_cast<uint32_t>(v[0]) << 18 |
                              static_cast<uint32_t>(v[1]) << 12 | static_cast<uint32_t>(v[2]) << 6 |
                              static_cast<uint32_t>(v[3]);
        out.push_back(static_cast<uint8_t>(bits >> 16));
        if (padding == 2) {
            if ((bits & 0xFFFF) != 0)
                return std::nullopt;
            break;
        }
        out.push_back(static_cast<uint8_t>(bits >> 8));
        if (padding == 1) {
            if ((bits & 0xFF) != 0)
                return std::nullopt;
            break;
        }
        out.push_back(static_cast<uint8_t>(bits));
    }
    return out;
}

}  // namespace plat
