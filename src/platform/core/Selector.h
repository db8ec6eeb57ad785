#pragma once
// Selectors: interned message names such as "request:didFinishWithResult:". Two selectors with
// the same text are the same selector; comparison and hashing are by identity.
#include <functional>
#include <string>
#include <string_view>

namespace plat {

class Selector {
  public:
    Selector() = default;
    Selector(std::string_view name);  // NOLINT: implicit from text is the natural spelling
    Selector(const char* name) : Selector(std::string_view(name)) {}
    Selector(const std::string& name) : Selector(std::string_view(name)) {}

    const std::string& name() const;
    bool empty() const { return name_ == nullptr; }
    explicit operator bool() const { return name_ != nullptr; }

    friend bool operator==(Selector a, Selector b) { return a.name_ == b.name_; }
    size_t hash() const { return std::hash<const void*>()(name_); }

  private:
    const std::string* name_ = nullptr;
};

}  // namespace plat

template <>
struct std::hash<plat::Selector> {
    size_t operator()(plat::Selector s) const noexcept { return s.hash(); }
};
