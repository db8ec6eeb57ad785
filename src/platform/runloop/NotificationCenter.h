#pragma once
// plat::NotificationCenter: synchronous notifications. An observer registers a callback for a
// name (or any name) and an object (or any object); postNotification calls every matching
// callback at once, on the posting thread, oldest registration first. Observers are held weakly:
// one that no longer exists is skipped and forgotten. An observer removed while a notification is
// being delivered is not called afterwards. defaultCenter() is the process-wide centre.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/Collections.h"

namespace plat {

struct Notification {
    std::string name;
    Ref<Object> object;        // may be null
    Ref<Dictionary> userInfo;  // may be null
};

class NotificationCenter {
  public:
    using Callback = std::function<void(const Notification&)>;
    using ObserverId = uint64_t;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    // Registers callback for notifications named name (empty: any name) about object (null: any
    // object; matched by identity and held weakly). The observer identifies the registration for
    // removeObserver and is held weakly; a null observer is never skipped and is removed by id.
    template <class T>
    ObserverId addObserver(const Ref<T>& observer, Callback callback, std::string name = {},
                           const Ref<Object>& object = nullptr) {
        return addObserverEntry(observer.get(), WeakRef<const void>(observer), true,
                                std::move(callback), std::move(name), object);
    }
    ObserverId addObserver(Callback callback, std::string name = {},
                           const Ref<Object>& object = nullptr) {
        return addObserverEntry(nullptr, {}, false, std::move(callback), std::move(name), object);
    }

    // Removes every registration of the observer (pass the same pointer as at registration, as
    // `this` of the same class), or only those for the name and/or object given.
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const std::string& name,
                        const Ref<Object>& object = nullptr);
    void removeObserver(ObserverId id);

    void postNotification(const Notification& notification);
    void postNotificationName(std::string name, const Ref<Object>& object = nullptr,
                              const Ref<Dictionary>& userInfo = nullptr);

  private:
    struct Entry;
    ObserverId addObserverEntry(const void* identity, WeakRef<const void> observer, bool weak,
                                Callback callback, std::string name, const Ref<Object>& object);

    std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    ObserverId nextId_ = 1;
};

}  // namespace plat
