#include "vnlib/dev/runtime/RTTypeEncoding.h"

#include <algorithm>

namespace rt_type {
namespace {

// The length of the first type of the text: one code, a code with a quoted class or protocol
// name (@"NSString"), a pointer with its target (^i), or a structure in balanced braces.
size_t firstTypeLength(std::string_view text) {
    if (text.empty())
        return 0;
    if (text[0] == '@' && text.size() > 1 && text[1] == '"') {
        const size_t close = text.find('"', 2);
        return close == std::string_view::npos ? text.size() : close + 1;
    }
    if (text[0] == '^')
        return 1 + firstTypeLength(text.substr(1));
    if (text[0] == '{' || text[0] == '(') {
        const char open = text[0];
        const char close = open == '{' ? '}' : ')';
        int depth = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == open)
                ++depth;
            else if (text[i] == close && --depth == 0)
                return i + 1;
        }
        return text.size();
    }
    return 1;
}

size_t scalarSize(char code) {
    switch (code) {
        case 'c':
        case 'C':
        case 'B':
            return 1;
        case 's':
        case 'S':
            return 2;
        case 'i':
        case 'I':
        case 'l':
        case 'L':
        case 'f':
            return 4;
        case 'q':
        case 'Q':
        case 'd':
        case '@':
        case '#':
        case ':':
        case '*':
        case '^':
            return 8;
        default:
            return 0;
    }
}

// Size and alignment of a structure's members laid out in order.
void structLayout(std::string_view type, size_t& size, size_t& alignment) {
    size = 0;
    alignment = 1;
    const size_t equals = type.find('=');
    if (equals == std::string_view::npos || type.size() < 2)
        return;
    std::string_view members = type.substr(equals + 1, type.size() - equals - 2);
    while (!members.empty()) {
        const size_t length = firstTypeLength(members);
        const std::string_view member = members.substr(0, length);
        const size_t memberAlignment = alignmentOf(member);
        size = (size + memberAlignment - 1) / memberAlignment * memberAlignment + sizeOf(member);
        alignment = std::max(alignment, memberAlignment);
        members.remove_prefix(length);
    }
    size = (size + alignment - 1) / alignment * alignment;
}

}  // namespace

size_t sizeOf(std::string_view type) {
    if (type.empty())
        return 0;
    if (type[0] == '{') {
        size_t size = 0, alignment = 1;
        structLayout(type, size, alignment);
        return size;
    }
    return scalarSize(type[0]);
}

size_t alignmentOf(std::string_view type) {
    if (!type.empty() && type[0] == '{') {
        size_t size = 0, alignment = 1;
        structLayout(type, size, alignment);
        return alignment;
    }
    return std::max<size_t>(1, sizeOf(type));
}

std::vector<std::string> splitSignature(std::string_view signature) {
    std::vector<std::string> types;
    while (!signature.empty()) {
        // Frame offsets written after a type ("v16@0:8") are not part of it.
        while (!signature.empty() && signature[0] >= '0' && signature[0] <= '9')
            signature.remove_prefix(1);
        const size_t length = firstTypeLength(signature);
        if (length == 0)
            break;
        types.emplace_back(signature.substr(0, length));
        signature.remove_prefix(length);
    }
    return types;
}

}  // namespace rt_type
