#pragma once
// Cover images of the demo catalogue: "/covers/<code>.jpg" is a JPEG, "/covers/<code>.png" a PNG,
// drawn from the code (shapes and colours, no text), the same bytes for the same path.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace demo {

// The image bytes and content type of a cover path; none for any other path.
std::optional<std::pair<std::string, std::string>> demoCover(const std::string& path);

// Content files of items: "/content/<code>/<TYPE>_<id>.<format>", deterministic bytes of a size
// that depends on the type, the same for the same path.
std::string demoContentPath(const std::string& code, const std::string& type,
                            const std::string& format, const std::string& fileId);
int64_t demoContentSize(const std::string& path);
std::optional<std::pair<std::string, std::string>> demoContent(const std::string& path);

}  // namespace demo
