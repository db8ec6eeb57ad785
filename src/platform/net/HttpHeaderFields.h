#pragma once
// plat::HttpHeaderFields: the header fields of an HTTP request or response, in order, with names
// compared without case. A request sets fields (a later field of the same name replaces the
// earlier value); a response adds them as received, repeated names included (Set-Cookie).
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

class HttpHeaderFields {
  public:
    using Field = std::pair<std::string, std::string>;

    HttpHeaderFields() = default;
    HttpHeaderFields(std::initializer_list<Field> fields);

    // Replaces the value (and the spelling of the name) of the first field of that name, keeping
    // its place, and drops any later ones; appends the field when there is none.
    void set(std::string_view name, std::string_view value);
    // Appends a field even when one of that name exists.
    void add(std::string_view name, std::string_view value);
    void remove(std::string_view name);

    bool contains(std::string_view name) const;
    // The value of the first field of that name.
    std::optional<std::string> first(std::string_view name) const;
    // The values of every field of that name, in order.
    std::vector<std::string> values(std::string_view name) const;
    // The values of every field of that name joined with ", ", as one field.
    std::optional<std::string> combined(std::string_view name) const;

    const std::vector<Field>& fields() const { return fields_; }
    size_t size() const { return fields_.size(); }
    bool empty() const { return fields_.empty(); }
    auto begin() const { return fields_.begin(); }
    auto end() const { return fields_.end(); }

  private:
    std::vector<Field> fields_;
};

}  // namespace plat
