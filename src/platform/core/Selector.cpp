#include "platform/core/Selector.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_set>

namespace plat {
namespace {

// Looks names up by their text without making a string first.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const noexcept {
        return std::hash<std::string_view>()(name);
    }
};

struct InternTable {
    std::shared_mutex mutex;
    std::unordered_set<std::string, NameHash, std::equal_to<>> names;
};

InternTable& table() {
    static InternTable t;
    return t;
}

const std::string& emptyName() {
    static const std::string empty;
    return empty;
}

}  // namespace

Selector::Selector(std::string_view name) {
    if (name.empty())
        return;
    auto& t = table();
    {
        // Nearly every name is interned already: readers share the table.
        std::shared_lock lock(t.mutex);
        if (auto it = t.names.find(name); it != t.names.end()) {
            name_ = &*it;
            return;
        }
    }
    std::unique_lock lock(t.mutex);
    name_ = &*t.names.emplace(name).first;
}

const std::string& Selector::name() const {
    return name_ ? *name_ : emptyName();
}

}  // namespace plat
