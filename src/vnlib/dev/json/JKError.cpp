#include "vnlib/dev/json/JKError.h"

#include <utility>
#include <vector>

Ref<plat::Error> JKErrorMake(std::string message, std::optional<JKErrorPosition> position) {
    std::vector<std::pair<plat::Value, plat::Value>> info;
    info.emplace_back(plat::Value(plat::NSLocalizedDescriptionKey),
                      plat::Value(std::move(message)));
    if (position) {
        info.emplace_back(plat::Value(JKAtIndexKey),
                          plat::Value(plat::Number::fromUInt64(position->index)));
        info.emplace_back(plat::Value(JKLineNumberKey),
                          plat::Value(plat::Number::fromUInt64(position->lineNumber)));
    }
    return plat::Error::make(JKErrorDomain, -1, plat::makeDictionary(std::move(info)));
}
