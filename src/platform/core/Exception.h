#pragma once
// Named exceptions for programming errors and misuse, and the parameter assertion.
#include <stdexcept>
#include <string>

namespace plat {

inline constexpr const char* NSInternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr const char* NSInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* NSRangeException = "NSRangeException";
inline constexpr const char* NSMallocException = "NSMallocException";

class Exception : public std::runtime_error {
  public:
    Exception(std::string name, std::string reason, std::string file = {}, int line = 0);

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const std::string& file() const { return file_; }
    int line() const { return line_; }

  private:
    std::string name_;
    std::string reason_;
    std::string file_;
    int line_;
};

[[noreturn]] void raise(const std::string& name, const std::string& reason);
[[noreturn]] void assertionFailed(const char* expression, const char* file, int line);
[[noreturn]] void assertionFailedWithText(const std::string& text, const char* file, int line);

}  // namespace plat

// Throws NSInternalInconsistencyException "Invalid parameter not satisfying: <expr>" with file and
// line.
#define PLAT_PARAMETER_ASSERT(cond)                             \
    do {                                                        \
        if (!(cond))                                            \
            ::plat::assertionFailed(#cond, __FILE__, __LINE__); \
    } while (0)

// Throws NSInternalInconsistencyException with the given text when the condition fails.
#define PLAT_ASSERT(cond, text)                                          \
    do {                                                                 \
        if (!(cond))                                                     \
            ::plat::assertionFailedWithText((text), __FILE__, __LINE__); \
    } while (0)
