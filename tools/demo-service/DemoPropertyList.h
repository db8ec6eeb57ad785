#pragma once
// Property lists from JSON values, as the demo service serves them: objects become
// dictionaries, arrays arrays, strings, integers, reals and booleans themselves (null is
// written as an empty string). XML, or binary ("bplist00").
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace demo {

std::string xmlPropertyList(const nlohmann::json& value);
std::string binaryPropertyList(const nlohmann::json& value);
// Text for XML or HTML content and attribute values: & < > " escaped.
std::string markupEscaped(std::string_view text);

}  // namespace demo
