#include "vnlib/dev/udid/VndUDID.h"

#include "vnlib/dev/udid/OpenUDID.h"

std::string VndUDID::value() {
    return OpenUDID::value();
}
