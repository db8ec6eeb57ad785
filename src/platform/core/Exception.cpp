#include "platform/core/Exception.h"

#include "platform/core/Log.h"

namespace plat {

Exception::Exception(std::string name, std::string reason, std::string file, int line)
    : std::runtime_error(name + ": " + reason),
      name_(std::move(name)),
      reason_(std::move(reason)),
      file_(std::move(file)),
      line_(line) {}

void raise(const std::string& name, const std::string& reason) {
    throw Exception(name, reason);
}

void assertionFailedWithText(const std::string& text, const char* file, int line) {
    log("*** Assertion failure at " + std::string(file) + ":" + std::to_string(line) + ": " + text);
    throw Exception(NSInternalInconsistencyException, text, file, line);
}

void assertionFailed(const char* expression, const char* file, int line) {
    assertionFailedWithText(std::string("Invalid parameter not satisfying: ") + expression, file,
                            line);
}

}  // namespace plat
