#pragma once
// Cover images of the demo catalogue: "/covers/<code>.jpg" is a JPEG, "/covers/<code>.png" a PNG,
// drawn from the code (shapes and colours, no text), the same bytes for the same path.
#include <optional>
#include <string>
#include <utility>

namespace demo {

// The image bytes and content type of a cover path; none for any other path.
std::optional<std::pair<std::string, std::string>> demoCover(const std::string& path);

// A picture of the given size drawn from `seedName`, as JPEG or PNG bytes; empty on failure.
std::string demoDrawnImage(const std::string& seedName, int width, int height, bool png);

}  // namespace demo
