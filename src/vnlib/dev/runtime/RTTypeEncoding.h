#pragma once
// Sizes and alignments of type texts ("i", "q", "@", "{_NSRange=QQ}", ...) and the splitting of a
// method signature ("v@:i") into its types, for the class builder and the sending operations.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rt_type {

// The size in bytes of a value of the type; 0 for "v" and for texts it does not know.
size_t sizeOf(std::string_view type);
// The alignment in bytes (at least 1).
size_t alignmentOf(std::string_view type);
// The types of a signature, in order: the return type, then the receiver and selector ("@", ":"),
// then each argument.
std::vector<std::string> splitSignature(std::string_view signature);

}  // namespace rt_type
