#include "vnlib/domain/storage/VnRowText.h"

#include <algorithm>

#include "vnlib/dev/json/JSONKitSerializing.h"

bool VnAppendJsonString(std::string& out, std::string_view text) {
    // Printable ASCII other than the quotation mark and the backslash stands as it is.
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
    });
    if (plain) {
        out += '"';
        out += text;
        out += '"';
        return true;
    }
    const auto written = JSONStringWithOptions(text, 0, true, nullptr);
    if (!written)
        return false;
    out += *written;
    return true;
}
