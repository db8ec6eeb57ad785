#pragma once
// VndUDID: the device identifier as the rest of the library asks for it (40 lower-case
// hexadecimal digits, the same on every call and every start).
#include <string>

class VndUDID {
  public:
    // OpenUDID::value().
    static std::string value();
};
