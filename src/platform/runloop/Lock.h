#pragma once
// Locks: plat::Lock (plain) and plat::RecursiveLock, both named and usable with std::lock_guard /
// std::unique_lock; plat::Synchronized, a scope that holds the monitor of one object (a recursive
// lock per object address, made on demand and dropped when no scope uses it).
#include <mutex>
#include <string>

namespace plat {

template <class Mutex>
class NamedLock {
  public:
    NamedLock() = default;
    explicit NamedLock(std::string name) : name_(std::move(name)) {}
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
    bool try_lock() { return mutex_.try_lock(); }

    // Set once, before the lock is shared between threads.
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

  private:
    Mutex mutex_;
    std::string name_;
};

using Lock = NamedLock<std::mutex>;
using RecursiveLock = NamedLock<std::recursive_mutex>;

// Holds the monitor of the object at the given address for the life of the scope.
class Synchronized {
  public:
    explicit Synchronized(const void* object);
    ~Synchronized();
    Synchronized(const Synchronized&) = delete;
    Synchronized& operator=(const Synchronized&) = delete;

  private:
    const void* object_;
    std::recursive_mutex* monitor_;
};

}  // namespace plat
