#include "platform/core/DocumentStrings.h"

#include <atomic>
#include <cstring>
#include <new>

namespace plat {

namespace {

std::atomic_ref<uintptr_t> stateOf(uintptr_t& state) {
    return std::atomic_ref<uintptr_t>(state);
}

}  // namespace

DocumentText::DocumentText(size_t n, DocumentStrings& strings) noexcept
    : state_(reinterpret_cast<uintptr_t>(&strings) | 1), size_(n) {}

const DocumentText& DocumentText::make(void* storage, const char* bytes, size_t n,
                                       DocumentStrings& strings) noexcept {
    auto* text = ::new (storage) DocumentText(n, strings);
    char* data = reinterpret_cast<char*>(text + 1);
    if (n)
        std::memcpy(data, bytes, n);
    data[n] = '\0';
    return *text;
}

const std::string& DocumentText::string() const {
    const uintptr_t state = stateOf(state_).load(std::memory_order_acquire);
    if (!(state & 1))
        return *reinterpret_cast<const std::string*>(state);
    return reinterpret_cast<DocumentStrings*>(state & ~uintptr_t{1})->stringFor(*this);
}

const std::string& DocumentStrings::stringFor(const DocumentText& text) {
    const std::lock_guard lock(mutex_);
    auto state = stateOf(text.state_);
    const uintptr_t current = state.load(std::memory_order_acquire);
    if (!(current & 1))
        return *reinterpret_cast<const std::string*>(current);
    const std::string& made = strings_.emplace_front(text.view());
    state.store(reinterpret_cast<uintptr_t>(&made), std::memory_order_release);
    return made;
}

}  // namespace plat
