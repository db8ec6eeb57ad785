#pragma once
// Cryptographically strong random numbers from the kernel (getrandom), with OpenSSL's generator
// as the fallback: a uniform 32-bit number and a run of random bytes.
#include <cstddef>
#include <cstdint>
#include <span>

namespace plat {

class Random {
  public:
    // A uniformly distributed 32-bit number.
    static uint32_t uint32();
    // Fills the range with random bytes.
    static void fill(std::span<uint8_t> out);
};

}  // namespace plat
