#pragma once
// Base64 (RFC 4648, standard alphabet): encoding with "=" padding and no line breaks, and a
// strict decoder that accepts only canonical, padded text.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

class Base64 {
  public:
    static std::string encode(std::span<const uint8_t> bytes);
    static std::string encode(std::string_view text) {
        return encode(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    // The decoded bytes, or nothing when the text is not canonical Base64: a length that is not a
    // multiple of four, a character outside the alphabet (white space included), misplaced
    // padding, or non-zero bits in the last character before the padding.
    static std::optional<std::vector<uint8_t>> decode(std::string_view text);
};

}  // namespace plat
