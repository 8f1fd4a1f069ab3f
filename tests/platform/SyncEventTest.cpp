#include "platform/sync/Event.h"
#include "platform/sync/RecursiveMutex.h"

#include <array>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

using namespace fz::sync;
using namespace std::chrono_literals;

TEST(SyncEventTest, AutoResetReleasesOneWaitPerSet) {
    Event event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
    event.Set();
    event.Set(); // not counted: still one release
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(event.Wait(0), kWaitObject0);
    EXPECT_FALSE(event.IsSet()) << "a successful wait clears an auto-reset event";
    EXPECT_EQ(event.Wait(0), kWaitTimeout);

    Event initiallySet(EventReset::Auto, EventState::Set);
    EXPECT_EQ(initiallySet.Wait(kInfinite), kWaitObject0);
    EXPECT_EQ(initiallySet.Wait(1), kWaitTimeout);

    event.Set();
    event.Reset();
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
}

TEST(SyncEventTest, ManualResetStaysSetUntilReset) {
    Event event(EventReset::Manual);
    event.Set();
    EXPECT_EQ(event.Wait(0), kWaitObject0);
    EXPECT_EQ(event.Wait(5), kWaitObject0);
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
}

TEST(SyncEventTest, TimeoutExpiresWhenNothingIsSet) {
    Event event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.Wait(20), kWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms) << "never returns early";

    std::array<Event, 3> events;
    Event* const list[] = {&events[0], &events[1], &events[2]};
    EXPECT_EQ(WaitForAny(list, 10), kWaitTimeout);
}

TEST(SyncEventTest, WaitForAnyGivesTheIndexOfTheSetEvent) {
    std::array<Event, 9> events; // as the player's audio thread waits on its buffers
    Event* list[9];
    for (std::size_t i = 0; i < events.size(); ++i)
        list[i] = &events[i];

    std::thread setter([&] {
        std::this_thread::sleep_for(10ms);
        events[6].Set();
    });
    EXPECT_EQ(WaitForAny(list, kInfinite), kWaitObject0 + 6);
    setter.join();
    EXPECT_FALSE(events[6].IsSet());

    // Several set: the lowest index is taken, and only that one is cleared.
    events[8].Set();
    events[2].Set();
    events[5].Set();
    EXPECT_EQ(WaitForAny(list, 0), kWaitObject0 + 2);
    EXPECT_FALSE(events[2].IsSet());
    EXPECT_TRUE(events[5].IsSet());
    EXPECT_TRUE(events[8].IsSet());
    EXPECT_EQ(WaitForAny(list, 100), kWaitObject0 + 5);
    EXPECT_EQ(WaitForAny(list, 100), kWaitObject0 + 8);
    EXPECT_EQ(WaitForAny(list, 0), kWaitTimeout);

    // A manual-reset event among them stays set.
    Event manual(EventReset::Manual, EventState::Set);
    Event* const mixed[] = {&events[0], &manual};
    EXPECT_EQ(WaitForAny(mixed, 0), kWaitObject0 + 1);
    EXPECT_EQ(WaitForAny(mixed, 0), kWaitObject0 + 1);
}

TEST(SyncEventTest, WaitForAnyRefusesNothingToWaitOn) {
    Event event;
    Event* const withNull[] = {&event, nullptr};
    EXPECT_EQ(WaitForAny({}, 0), kWaitFailed);
    EXPECT_EQ(WaitForAny(withNull, 0), kWaitFailed);
}

TEST(SyncEventTest, OneSetOfAnAutoResetEventReleasesExactlyOneOfTwoWaiters) {
    Event event;
    std::atomic<int> released{0};
    auto wait = [&] {
        if (event.Wait(300) == kWaitObject0)
            ++released;
    };
    std::thread first(wait);
    std::thread second(wait);
    std::this_thread::sleep_for(20ms);
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(released.load(), 1);
}

TEST(SyncEventTest, ManualResetReleasesEveryWaiter) {
    Event event(EventReset::Manual);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (event.Wait(kInfinite) == kWaitObject0)
                ++released;
        });
    std::this_thread::sleep_for(10ms);
    event.Set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released.load(), 4);
}

// Two threads hand a turn back and forth; a lost wake-up would hang (the test's time limit
// catches it).
TEST(SyncEventTest, PingPongLosesNoWakeUp) {
    Event ping;
    Event pong;
    Event quit(EventReset::Manual);
    constexpr int kRounds = 2000;
    int answered = 0;
    std::thread partner([&] {
        Event* const waitOn[] = {&quit, &ping};
        while (WaitForAny(waitOn, kInfinite) == kWaitObject0 + 1) {
            ++answered;
            pong.Set();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        ping.Set();
        ASSERT_EQ(pong.Wait(kInfinite), kWaitObject0);
    }
    quit.Set();
    partner.join();
    EXPECT_EQ(answered, kRounds);
}

TEST(SyncMutexTest, RecursiveMutexIsReentrantAndExcludesOthers) {
    RecursiveMutex mutex;
    mutex.Lock();
    ASSERT_TRUE(mutex.TryLock()) << "the owner takes it again";
    { std::lock_guard guard(mutex); }
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = mutex.TryLockFor(10); }).join();
    EXPECT_FALSE(otherGotIt);
    mutex.Unlock();
    std::thread([&] { otherGotIt = mutex.TryLock(); }).join();
    EXPECT_FALSE(otherGotIt) << "still held once";
    mutex.Unlock();
    std::thread([&] {
        otherGotIt = mutex.TryLockFor(kInfinite);
        mutex.Unlock();
    }).join();
    EXPECT_TRUE(otherGotIt);
}

} // namespace
