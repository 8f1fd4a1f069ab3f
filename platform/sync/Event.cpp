#include "platform/sync/Event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <optional>

namespace fz::sync {

namespace detail {

// One waiting thread. Set marks it and wakes it under the event's mutex, so a waiter that has
// removed itself from all its events can be destroyed safely. Lock order: an event's mutex,
// then a waiter's; a waiter never holds its own while taking an event's.
struct EventWaiter {
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;
};

} // namespace detail

namespace {

using Clock = std::chrono::steady_clock;

// The first event, in order, that can be taken now.
std::optional<std::uint32_t> TakeFirst(std::span<Event* const> events, bool (*take)(Event*)) {
    for (std::size_t i = 0; i < events.size(); ++i)
        if (take(events[i]))
            return kWaitObject0 + static_cast<std::uint32_t>(i);
    return std::nullopt;
}

} // namespace

Event::Event(EventReset reset, EventState initial)
    : m_reset(reset)
    , m_set(initial == EventState::Set) {}

Event::~Event() = default;

void Event::Set() {
    std::lock_guard lock(m_mutex);
    m_set = true;
    for (detail::EventWaiter* waiter : m_waiters) {
        std::lock_guard waiterLock(waiter->mutex);
        waiter->woken = true;
        waiter->wake.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_set;
}

std::uint32_t Event::Wait(std::uint32_t timeoutMs) {
    Event* const self[] = {this};
    return WaitForAny(self, timeoutMs);
}

bool Event::TryTake() {
    std::lock_guard lock(m_mutex);
    if (!m_set)
        return false;
    if (m_reset == EventReset::Auto)
        m_set = false;
    return true;
}

void Event::AddWaiter(detail::EventWaiter* waiter) {
    std::lock_guard lock(m_mutex);
    m_waiters.push_back(waiter);
}

void Event::RemoveWaiter(detail::EventWaiter* waiter) {
    std::lock_guard lock(m_mutex);
    std::erase(m_waiters, waiter);
}

std::uint32_t WaitForAny(std::span<Event* const> events, std::uint32_t timeoutMs) {
    if (events.empty() || std::find(events.begin(), events.end(), nullptr) != events.end())
        return kWaitFailed;
    const auto take = [](Event* event) { return event->TryTake(); };
    if (auto taken = TakeFirst(events, take))
        return *taken;
    if (timeoutMs == 0)
        return kWaitTimeout;

    const bool limited = timeoutMs != kInfinite;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    detail::EventWaiter waiter;
    for (Event* event : events)
        event->AddWaiter(&waiter);
    std::uint32_t result = kWaitTimeout;
    for (;;) {
        {
            std::lock_guard lock(waiter.mutex);
            waiter.woken = false;
        }
        // A Set after this scan marks the waiter, so the wait below returns at once.
        if (auto taken = TakeFirst(events, take)) {
            result = *taken;
            break;
        }
        std::unique_lock lock(waiter.mutex);
        if (limited) {
            if (!waiter.wake.wait_until(lock, deadline, [&] { return waiter.woken; })) {
                lock.unlock();
                // A Set that came with the deadline still counts.
                if (auto taken = TakeFirst(events, take))
                    result = *taken;
                break;
            }
        } else {
            waiter.wake.wait(lock, [&] { return waiter.woken; });
        }
    }
    for (Event* event : events)
        event->RemoveWaiter(&waiter);
    return result;
}

} // namespace fz::sync
