#pragma once
// The text that "%.17g" gives for a finite double, written without the C library's formatting:
// 17 significant digits of the exact binary value, correctly rounded, then the shorter of the
// fixed and exponent notations as %g chooses them, trailing zeros dropped. Magnitudes from 1e-6
// up to 1e17 (prices, ratings, sizes) are worked out with 128-bit integers; the rest go
// through std::to_chars.
//
//   char text[kJKDoubleTextMax];
//   std::string_view written(text, jk_writeDoubleText(0.1, text) - text);  // "0.10000000000000001"
#include <cstddef>

inline constexpr size_t kJKDoubleTextMax = 32;

// Writes the text of a finite `d` at `out` (room for kJKDoubleTextMax bytes); returns its end.
char* jk_writeDoubleText(double d, char* out);
