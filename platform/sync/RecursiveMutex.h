#pragma once

#include <cstdint>
#include <mutex>

namespace fz::sync {

// The platform's mutex (CreateMutex) within one process: recursive, so the owning thread may
// take it again and must release it as often; waits may have a time limit. Offers the
// standard library's lock/try_lock/unlock as well, for std::lock_guard and std::unique_lock.
class RecursiveMutex {
public:
    void Lock() { m_mutex.lock(); }
    bool TryLock() { return m_mutex.try_lock(); }
    // True when taken within `timeoutMs` (0xFFFFFFFF: no limit, as Lock).
    bool TryLockFor(std::uint32_t timeoutMs);
    void Unlock() { m_mutex.unlock(); }

    void lock() { Lock(); }
    bool try_lock() { return TryLock(); }
    void unlock() { Unlock(); }

private:
    std::recursive_timed_mutex m_mutex;
};

} // namespace fz::sync
