#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace fz::sync {

// Waiting, as the platform's WaitForSingleObject / WaitForMultipleObjects (any) answer it.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;   // INFINITE: no time limit
inline constexpr std::uint32_t kWaitObject0 = 0;         // WAIT_OBJECT_0 + index
inline constexpr std::uint32_t kWaitTimeout = 258;       // WAIT_TIMEOUT
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF; // WAIT_FAILED: nothing to wait on

enum class EventReset {
    Auto,   // a successful wait clears the event: one Set releases one wait
    Manual, // stays set until Reset: one Set releases every wait
};

enum class EventState { Clear, Set };

namespace detail {
struct EventWaiter;
}

// An event of the platform's kind (CreateEvent), built on std::mutex and
// std::condition_variable. Any thread may Set, Reset or wait; an event must outlive every
// wait on it. Not copyable or movable: waits hold its address.
class Event {
public:
    explicit Event(EventReset reset = EventReset::Auto, EventState initial = EventState::Clear);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();

    // Waits until the event is set (and clears it when auto-reset) or `timeoutMs` passes:
    // kWaitObject0 or kWaitTimeout. A timeout of 0 only tests it.
    std::uint32_t Wait(std::uint32_t timeoutMs);

    // Whether it is set, without waiting and without clearing it.
    bool IsSet() const;

private:
    friend std::uint32_t WaitForAny(std::span<Event* const>, std::uint32_t);

    bool TryTake();
    void AddWaiter(detail::EventWaiter* waiter);
    void RemoveWaiter(detail::EventWaiter* waiter);

    const EventReset m_reset;
    mutable std::mutex m_mutex;
    bool m_set;
    std::vector<detail::EventWaiter*> m_waiters; // each woken by Set
};

// Waits until at least one of the events is set, or `timeoutMs` passes (kInfinite: no
// limit). Returns kWaitObject0 + the lowest index among the set events, clearing that one
// event if it is auto-reset (the others stay as they are); kWaitTimeout; or kWaitFailed for
// an empty list or a null entry.
std::uint32_t WaitForAny(std::span<Event* const> events, std::uint32_t timeoutMs);

} // namespace fz::sync
