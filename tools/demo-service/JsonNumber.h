#pragma once
// Whole numbers read from request bodies: any JSON number is brought into the signed 64-bit
// range before it is converted (a fraction is cut off, anything beyond the range becomes its
// nearest end), so no body can make a conversion or later arithmetic overflow.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

namespace demo {

// The number as a signed 64-bit integer; nothing when the value is not a number.
inline std::optional<int64_t> clampedInteger(const nlohmann::json& value) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    if (value.is_number_unsigned()) {
        const auto u = value.get<uint64_t>();
        return u > static_cast<uint64_t>(kMax) ? kMax : static_cast<int64_t>(u);
    }
    if (value.is_number_integer())
        return value.get<int64_t>();
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::isnan(d))
            return std::nullopt;
        if (d >= 9.2233720368547758e18)
            return kMax;
        if (d <= -9.2233720368547758e18)
            return kMin;
        return static_cast<int64_t>(d);
    }
    return std::nullopt;
}

}  // namespace demo
