#pragma once
// Random (version 4) UUIDs in the platform's text form: 36 characters, upper-case hexadecimal
// digits grouped 8-4-4-4-12 with hyphens.
#include <string>

namespace plat {

class Uuid {
  public:
    // A fresh UUID's text, e.g. "1B4E28BA-2FA1-41D2-883F-0016D3CCA427".
    static std::string createString();
};

}  // namespace plat
