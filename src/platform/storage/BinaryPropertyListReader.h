#pragma once
// Internal: the binary ("bplist00") property-list reader. Every offset, length and object
// reference is checked against the input, objects shared by several containers are decoded once,
// and an object that contains itself is an error.
#include <cstdint>
#include <span>

#include "platform/core/Value.h"

namespace plat::plist {

class BinaryPropertyListReader {
  public:
    // Parses the whole input (which starts with "bplist00"); throws ParseError on failure.
    static Value read(std::span<const uint8_t> data);
};

}  // namespace plat::plist
