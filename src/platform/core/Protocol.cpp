#include "platform/core/Protocol.h"

#include <memory>
#include <mutex>

namespace plat {
namespace {

struct ProtocolRegistry {
    std::mutex mutex;
    std::vector<std::unique_ptr<const Protocol>> protocols;  // in declaration order
};

ProtocolRegistry& protocolRegistry() {
    static ProtocolRegistry r;
    return r;
}

const Protocol* findLocked(const ProtocolRegistry& r, const std::string& name) {
    for (const auto& p : r.protocols) {
        if (p->name() == name)
            return p.get();
    }
    return nullptr;
}

}  // namespace

const Protocol& Protocol::declare(std::string name, std::vector<const Protocol*> incorporated,
                                  std::vector<MethodDescription> methods) {
    auto& r = protocolRegistry();
    std::lock_guard lock(r.mutex);
    if (const Protocol* existing = findLocked(r, name))
        return *existing;
    r.protocols.push_back(std::make_unique<const Protocol>(
        Key(), std::move(name), std::move(incorporated), std::move(methods)));
    return *r.protocols.back();
}

const Protocol* Protocol::named(const std::string& name) {
    auto& r = protocolRegistry();
    std::lock_guard lock(r.mutex);
    return findLocked(r, name);
}

std::vector<const Protocol*> Protocol::all() {
    auto& r = protocolRegistry();
    std::lock_guard lock(r.mutex);
    std::vector<const Protocol*> out;
    for (const auto& p : r.protocols)
        out.push_back(p.get());
    return out;
}

}  // namespace plat
