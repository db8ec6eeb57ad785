#include "vnlib/dev/json/JKDoubleText.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 U128;

constexpr std::array<U128, 23> kPowersOfTen = [] {
    std::array<U128, 23> powers{};
    U128 p = 1;
    for (U128& power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}();

constexpr uint64_t kLeast17Digits = 10000000000000000ull;  // 10^16
constexpr uint64_t kBeyond17Digits = 100000000000000000ull;

char* fallback(double d, char* out) {
    return std::to_chars(out, out + kJKDoubleTextMax, d, std::chars_format::general, 17).ptr;
}

}  // namespace

char* jk_writeDoubleText(double d, char* out) {
    const auto bits = std::bit_cast<uint64_t>(d);
    const int biasedExponent = static_cast<int>(bits >> 52 & 0x7FF);
    const double magnitude = std::fabs(d);
    if (biasedExponent == 0 || biasedExponent == 0x7FF || !(magnitude >= 1e-6) ||
        !(magnitude < 1e17)) {
        return fallback(d, out);
    }
    // d = ±m * 2^e exactly.
    const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | uint64_t{1} << 52;
    const int e = biasedExponent - 1075;

    // The 17 digits: round(|d| * 10^q) for the q that puts the result in [10^16, 10^17). The
    // estimate of the decimal exponent is corrected when the digits come out one too many or
    // too few.
    // floor(log10 |d|) is floor((biasedExponent - 1023) * log10(2)) or one more.
    int exponent10 = (biasedExponent - 1023) * 78913 >> 18;
    uint64_t digits = 0;
    for (int attempt = 0;; ++attempt) {
        const int q = 16 - exponent10;
        if (q < 0 || q > 22 || attempt == 2)
            return fallback(d, out);
        // m < 2^53 and 10^22 < 2^74: the product fits; |d| * 10^q < 10^18 after the shift.
        U128 x = static_cast<U128>(m) * kPowersOfTen[static_cast<size_t>(q)];
        U128 remainder = 0, half = 1;
        if (e >= 0) {
            x <<= e;
        } else {
            const int shift = -e;  // at most 73 above 1e-6
            remainder = x & ((static_cast<U128>(1) << shift) - 1);
            half = static_cast<U128>(1) << (shift - 1);
            x >>= shift;
        }
        // The whole part must have 17 digits before it is rounded.
        if (x >= kBeyond17Digits) {
            ++exponent10;
            continue;
        }
        if (x < kLeast17Digits) {
            --exponent10;
            continue;
        }
        if (remainder > half || (remainder == half && (x & 1)))
            ++x;  // to nearest, ties to even
        if (x == kBeyond17Digits) {
            x = kLeast17Digits;
            ++exponent10;
        }
        digits = static_cast<uint64_t>(x);
        break;
    }

    if (exponent10 < -9 || exponent10 > 16)
        return fallback(d, out);  // beyond the notations written below

    char text[17];
    for (int i = 16; i >= 0; --i) {
        text[i] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    int length = 17;  // without the trailing zeros
    while (length > 1 && text[length - 1] == '0')
        --length;

    if (d < 0)
        *out++ = '-';
    if (exponent10 < -4) {  // within this range, the only exponent notation
        *out++ = text[0];
        if (length > 1) {
            *out++ = '.';
            std::memcpy(out, text + 1, static_cast<size_t>(length - 1));
            out += length - 1;
        }
        *out++ = 'e';
        *out++ = '-';
        *out++ = '0';
        *out++ = static_cast<char>('0' - exponent10);
        return out;
    }
    if (exponent10 < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = -1; i > exponent10; --i)
            *out++ = '0';
        std::memcpy(out, text, static_cast<size_t>(length));
        return out + length;
    }
    const int integerDigits = exponent10 + 1;
    if (length <= integerDigits) {
        std::memcpy(out, text, static_cast<size_t>(integerDigits));
        return out + integerDigits;
    }
    std::memcpy(out, text, static_cast<size_t>(integerDigits));
    out += integerDigits;
    *out++ = '.';
    std::memcpy(out, text + integerDigits, static_cast<size_t>(length - integerDigits));
    return out + (length - integerDigits);
}
