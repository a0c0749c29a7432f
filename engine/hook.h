// A hook slot: how a component calls back its owner without knowing the owner's type.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kjf {

// A small spin lock for state that is held for a few instructions only.
class SpinLock {
  public:
    void lock() noexcept {
        while (m_flag.test_and_set(std::memory_order_acquire)) {
            while (m_flag.test(std::memory_order_relaxed)) {
                std::this_thread::yield();
            }
        }
    }
    void unlock() noexcept { m_flag.clear(std::memory_order_release); }

  private:
    std::atomic_flag m_flag;
};

// One slot: a callable, the owner object that bound it and an integer tag. A call passes the
// owner, the caller (Source) and the tag first, then the hook's own arguments; a slot without a
// callable or without an owner is skipped.
//
// Thread safety: bind and call may run on any threads at the same time. Binding takes the slot's
// own spin lock and publishes the new binding; a call reads the published binding without
// waiting and never holds a lock while it runs. A binding never changes once published, and
// replaced bindings are kept until the slot is destroyed, so a call that read the old binding
// finishes safely. (A call happens at every position of a scan; reading a pointer is all it
// costs.)
template <typename Source, typename... Args>
class HookSlot {
  public:
    using Function = std::function<void(void* owner, Source& source, std::int32_t tag, Args...)>;

    void bind(Function function, void* owner, std::int32_t tag) {
        auto binding = std::make_unique<const Binding>(Binding{std::move(function), owner, tag});
        std::lock_guard lock(m_lock);
        m_current.store(binding.get(), std::memory_order_release);
        m_bindings.push_back(std::move(binding));
    }

    void unbind() { bind(nullptr, nullptr, 0); }

    bool isBound() const {
        const Binding* b = current();
        return b != nullptr && b->function && b->owner != nullptr;
    }

    // Calls the bound function; returns false when the slot was skipped.
    template <typename... CallArgs>
    bool call(Source& source, CallArgs&&... args) const {
        const Binding* b = current();
        if (b == nullptr || !b->function || b->owner == nullptr) {
            return false;
        }
        b->function(b->owner, source, b->tag, std::forward<CallArgs>(args)...);
        return true;
    }

  private:
    struct Binding {
        Function function;
        void* owner;
        std::int32_t tag;
    };

    const Binding* current() const { return m_current.load(std::memory_order_acquire); }

    SpinLock m_lock;  // serializes binders
    std::atomic<const Binding*> m_current{nullptr};
    std::vector<std::unique_ptr<const Binding>> m_bindings;
};

}  // namespace kjf
