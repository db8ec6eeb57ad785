#pragma once
// Item codes from the service name folders and table rows. A code that is empty, "." or "..",
// or that holds "/" or NUL, is refused as hostile before anything is stored. Search texts that
// become part of table names have the characters that file names avoid replaced by "_".
#include <string>
#include <string_view>

inline bool VnIsUsableItemCode(std::string_view code) {
    return !code.empty() && code != "." && code != ".." &&
           code.find('/') == std::string_view::npos && code.find('\0') == std::string_view::npos;
}

inline std::string VnSafeTableText(std::string text) {
    for (char& c : text) {
        if (std::string_view("/\\?%*|\"<>: ").find(c) != std::string_view::npos)
            c = '_';
    }
    return text;
}
