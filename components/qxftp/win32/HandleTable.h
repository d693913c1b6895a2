#pragma once
#include <array>
#include <climits>
#include <cstddef>
#include <memory>
#include <mutex>

#include "SrwLock.h"

namespace qxftp {

// A fixed table of shared objects reached through positive 32-bit handles; safe to use from any
// thread. A handle carries its slot and a serial number, so a handle that was freed (and whose
// slot was given out again) is refused instead of reaching another caller's object. Objects are
// shared: one removed while another thread still works with it lives until that work ends.
template <typename T, size_t Capacity>
class HandleTable {
    static_assert(Capacity > 0 && Capacity < 4096, "small table");

public:
    // The new handle, or 0 when every slot is taken.
    int Add(std::shared_ptr<T> item) {
        std::lock_guard<CSrwLock> guard(m_lock);
        for (size_t i = 0; i < Capacity; ++i) {
            if (m_items[i]) continue;
            const long long handle = static_cast<long long>(m_nextSerial) * Capacity + i + 1;
            m_nextSerial = m_nextSerial >= MAX_SERIAL ? 0 : m_nextSerial + 1;
            m_items[i] = std::move(item);
            m_handles[i] = static_cast<int>(handle);
            return m_handles[i];
        }
        return 0;
    }

    std::shared_ptr<T> Find(int handle) const {
        std::lock_guard<CSrwLock> guard(m_lock);
        const size_t slot = SlotOf(handle);
        if (slot == Capacity) return nullptr;
        return m_items[slot];
    }

    // Takes the object out of the table; null for an unknown handle.
    std::shared_ptr<T> Remove(int handle) {
        std::lock_guard<CSrwLock> guard(m_lock);
        const size_t slot = SlotOf(handle);
        if (slot == Capacity) return nullptr;
        m_handles[slot] = 0;
        return std::move(m_items[slot]);
    }

private:
    static constexpr long long MAX_SERIAL = (INT_MAX - static_cast<long long>(Capacity)) / Capacity;

    // The slot of a live handle, or Capacity.
    size_t SlotOf(int handle) const {
        if (handle <= 0) return Capacity;
        const size_t slot = static_cast<size_t>(handle - 1) % Capacity;
        return m_items[slot] && m_handles[slot] == handle ? slot : Capacity;
    }

    mutable CSrwLock m_lock;
    std::array<std::shared_ptr<T>, Capacity> m_items{};
    std::array<int, Capacity> m_handles{};
    long long m_nextSerial = 0;
};

}  // namespace qxftp
