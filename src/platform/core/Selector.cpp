#include "platform/core/Selector.h"

#include <mutex>
#include <unordered_set>

namespace plat {
namespace {

struct InternTable {
    std::mutex mutex;
    std::unordered_set<std::string> names;
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
    std::lock_guard lock(t.mutex);
    name_ = &*t.names.emplace(name).first;
}

const std::string& Selector::name() const {
    return name_ ? *name_ : emptyName();
}

}  // namespace plat
