#include "platform/sync/RecursiveMutex.h"

#include "platform/sync/Event.h"

#include <chrono>

namespace fz::sync {

bool RecursiveMutex::TryLockFor(std::uint32_t timeoutMs) {
    if (timeoutMs == kInfinite) {
        m_mutex.lock();
        return true;
    }
    return m_mutex.try_lock_for(std::chrono::milliseconds(timeoutMs));
}

} // namespace fz::sync
