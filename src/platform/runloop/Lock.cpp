#include "platform/runloop/Lock.h"

#include <memory>
#include <unordered_map>

namespace plat {

namespace {

struct Monitor {
    std::recursive_mutex mutex;
    size_t users = 0;  // scopes holding or waiting for it
};

struct MonitorTable {
    std::mutex mutex;
    std::unordered_map<const void*, std::unique_ptr<Monitor>> monitors;
};

MonitorTable& monitorTable() {
    // Never destroyed: monitors may be taken while the process exits.
    static MonitorTable* const table = std::make_unique<MonitorTable>().release();
    return *table;
}

}  // namespace

Synchronized::Synchronized(const void* object) : object_(object) {
    auto& table = monitorTable();
    {
        std::lock_guard guard(table.mutex);
        auto& monitor = table.monitors[object];
        if (!monitor)
            monitor = std::make_unique<Monitor>();
        ++monitor->users;
        monitor_ = &monitor->mutex;
    }
    monitor_->lock();
}

Synchronized::~Synchronized() {
    monitor_->unlock();
    auto& table = monitorTable();
    std::lock_guard guard(table.mutex);
    auto it = table.monitors.find(object_);
    if (it != table.monitors.end() && --it->second->users == 0)
        table.monitors.erase(it);
}

}  // namespace plat
