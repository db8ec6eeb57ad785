#pragma once
// Type codes of the platform's type encoding ("i", "c", "q", "d", "@", ...), as used in method
// return types and declared-property attribute texts.
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

namespace plat {

template <class T>
struct TypeCodeOf {
    static std::string code() {
        using U = std::remove_cvref_t<T>;
        if constexpr (std::is_same_v<U, void>)
            return "v";
        else if constexpr (std::is_same_v<U, bool>)
            return "B";
        else if constexpr (std::is_same_v<U, char> || std::is_same_v<U, signed char>)
            return "c";
        else if constexpr (std::is_same_v<U, unsigned char>)
            return "C";
        else if constexpr (std::is_same_v<U, int16_t>)
            return "s";
        else if constexpr (std::is_same_v<U, uint16_t>)
            return "S";
        else if constexpr (std::is_same_v<U, int32_t>)
            return "i";
        else if constexpr (std::is_same_v<U, uint32_t>)
            return "I";
        else if constexpr (std::is_same_v<U, int64_t> || std::is_same_v<U, long long>)
            return "q";
        else if constexpr (std::is_same_v<U, uint64_t> || std::is_same_v<U, unsigned long long>)
            return "Q";
        else if constexpr (std::is_same_v<U, float>)
            return "f";
        else if constexpr (std::is_same_v<U, double>)
            return "d";
        else
            return "@";
    }
};

template <class T>
std::string typeCode() {
    return TypeCodeOf<T>::code();
}

}  // namespace plat
