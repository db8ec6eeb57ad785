#include "platform/runloop/NotificationCenter.h"

#include <algorithm>
#include <atomic>

namespace plat {

struct NotificationCenter::Entry {
    ObserverId id = 0;
    const void* identity = nullptr;
    WeakRef<const void> observer;
    bool weak = false;
    std::shared_ptr<Callback> callback;
    std::string name;                        // empty: any
    const Object* objectIdentity = nullptr;  // null: any
    WeakRef<Object> object;
    std::atomic<bool> removed{false};

    bool observerGone() const { return weak && observer.expired(); }
    bool matches(const Notification& n) const {
        if (!name.empty() && name != n.name)
            return false;
        if (!objectIdentity)
            return true;
        // A registration for an object that no longer exists matches nothing, even another
        // object that took its address.
        return n.object.get() == objectIdentity && !object.expired();
    }
};

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: observers may be removed from destructors that run while the process exits.
    static NotificationCenter* const center = std::make_unique<NotificationCenter>().release();
    return *center;
}

NotificationCenter::ObserverId NotificationCenter::addObserverEntry(const void* identity,
                                                                    WeakRef<const void> observer,
                                                                    bool weak, Callback callback,
                                                                    std::string name,
                                                                    const Ref<Object>& object) {
    if (!callback)
        return 0;
    auto entry = std::make_shared<Entry>();
    entry->identity = identity;
    entry->observer = std::move(observer);
    entry->weak = weak;
    entry->callback = std::make_shared<Callback>(std::move(callback));
    entry->name = std::move(name);
    entry->objectIdentity = object.get();
    entry->object = object;
    std::lock_guard guard(mutex_);
    entry->id = nextId_++;
    entries_.push_back(entry);
    return entry->id;
}

void NotificationCenter::removeObserver(const void* observer) {
    if (!observer)
        return;
    std::vector<std::shared_ptr<Entry>> removed;  // released after the lock
    std::lock_guard guard(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->identity != observer)
            return false;
        e->removed = true;
        removed.push_back(e);
        return true;
    });
}

void NotificationCenter::removeObserver(const void* observer, const std::string& name,
                                        const Ref<Object>& object) {
    if (!observer)
        return;
    std::vector<std::shared_ptr<Entry>> removed;
    std::lock_guard guard(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->identity != observer)
            return false;
        if (!name.empty() && e->name != name)
            return false;
        if (object && e->objectIdentity != object.get())
            return false;
        e->removed = true;
        removed.push_back(e);
        return true;
    });
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::vector<std::shared_ptr<Entry>> removed;
    std::lock_guard guard(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->id != id)
            return false;
        e->removed = true;
        removed.push_back(e);
        return true;
    });
}

void NotificationCenter::postNotification(const Notification& notification) {
    std::vector<std::shared_ptr<Entry>> targets;
    std::vector<std::shared_ptr<Entry>> gone;  // observers that no longer exist
    {
        std::lock_guard guard(mutex_);
        std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
            if (!e->observerGone())
                return false;
            e->removed = true;
            gone.push_back(e);
            return true;
        });
        for (const auto& entry : entries_) {
            if (entry->matches(notification))
                targets.push_back(entry);
        }
    }
    for (const auto& entry : targets) {
        if (entry->removed)
            continue;
        auto keepObserverAlive = entry->observer.lock();
        if (entry->weak && !keepObserverAlive)
            continue;
        (*entry->callback)(notification);
    }
}

void NotificationCenter::postNotificationName(std::string name, const Ref<Object>& object,
                                              const Ref<Dictionary>& userInfo) {
    postNotification(Notification{std::move(name), object, userInfo});
}

}  // namespace plat
