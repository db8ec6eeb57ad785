#pragma once
// Property lists from JSON values, as the demo service serves them: objects become
// dictionaries, arrays arrays, strings, integers, reals and booleans themselves (null is
// written as an empty string). XML, or binary ("bplist00").
#include <string>

#include <nlohmann/json.hpp>

namespace demo {

std::string xmlPropertyList(const nlohmann::json& value);
std::string binaryPropertyList(const nlohmann::json& value);

}  // namespace demo
