#include "platform/net/HttpHeaderFields.h"

#include <algorithm>

#include "platform/net/NetText.h"

namespace plat {

using net_text::equalsIgnoringCase;

HttpHeaderFields::HttpHeaderFields(std::initializer_list<Field> fields) {
    for (const auto& [name, value] : fields)
        set(name, value);
}

void HttpHeaderFields::set(std::string_view name, std::string_view value) {
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [&](const Field& f) { return equalsIgnoringCase(f.first, name); });
    if (it == fields_.end()) {
        fields_.emplace_back(std::string(name), std::string(value));
        return;
    }
    it->first = std::string(name);
    it->second = std::string(value);
    const auto firstIndex = it - fields_.begin();
    fields_.erase(std::remove_if(fields_.begin() + firstIndex + 1, fields_.end(),
                                 [&](const Field& f) { return equalsIgnoringCase(f.first, name); }),
                  fields_.end());
}

void HttpHeaderFields::add(std::string_view name, std::string_view value) {
    fields_.emplace_back(std::string(name), std::string(value));
}

void HttpHeaderFields::remove(std::string_view name) {
    fields_.erase(std::remove_if(fields_.begin(), fields_.end(),
                                 [&](const Field& f) { return equalsIgnoringCase(f.first, name); }),
                  fields_.end());
}

bool HttpHeaderFields::contains(std::string_view name) const {
    return std::any_of(fields_.begin(), fields_.end(),
                       [&](const Field& f) { return equalsIgnoringCase(f.first, name); });
}

std::optional<std::string> HttpHeaderFields::first(std::string_view name) const {
    for (const auto& [key, value] : fields_) {
        if (equalsIgnoringCase(key, name))
            return value;
    }
    return std::nullopt;
}

std::vector<std::string> HttpHeaderFields::values(std::string_view name) const {
    std::vector<std::string> out;
    for (const auto& [key, value] : fields_) {
        if (equalsIgnoringCase(key, name))
            out.push_back(value);
    }
    return out;
}

std::optional<std::string> HttpHeaderFields::combined(std::string_view name) const {
    std::optional<std::string> out;
    for (const auto& [key, value] : fields_) {
        if (!equalsIgnoringCase(key, name))
            continue;
        if (out) {
            *out += ", ";
            *out += value;
        } else {
            out = value;
        }
    }
    return out;
}

}  // namespace plat
