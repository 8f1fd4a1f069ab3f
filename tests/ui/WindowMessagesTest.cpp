#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowPicture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace fz::ui;
using namespace std::chrono_literals;

constexpr std::uint32_t kEndOfMovie = kWmUser + 100;

// A window whose procedure notes the thread it ran on and answers lParam + 1.
struct RecordingWindow {
    std::atomic<int> calls{0};
    std::thread::id ranOn;
    WindowHandle handle = CreateOffscreenWindow(
        8, 8, [this](WindowHandle, std::uint32_t message, std::uintptr_t, std::intptr_t lParam) {
            if (message != kEndOfMovie)
                return std::intptr_t{0};
            ranOn = std::this_thread::get_id();
            ++calls;
            return lParam + 1;
        });
    ~RecordingWindow() { DestroyWindow(handle); }
};

TEST(WindowMessagesTest, SendFromAnotherThreadRunsWhenTheWindowThreadPumps) {
    RecordingWindow window;
    auto reply = std::async(std::launch::async,
                            [&] { return SendMessage(window.handle, kEndOfMovie, 0, 41); });
    // Nothing runs until this thread (the window's) pumps.
    EXPECT_EQ(reply.wait_for(100ms), std::future_status::timeout);
    EXPECT_EQ(window.calls, 0);
    ASSERT_TRUE(WaitMessage(2000));
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(reply.get(), 42);
    EXPECT_EQ(window.calls, 1);
    EXPECT_EQ(window.ranOn, std::this_thread::get_id());

    // On its own thread SendMessage calls the procedure directly.
    EXPECT_EQ(SendMessage(window.handle, kEndOfMovie, 0, 1), 2);
    EXPECT_EQ(SendMessage(0x9999, kEndOfMovie, 0, 1), 0);
}

TEST(WindowMessagesTest, SendTimeoutDropsTheMessageAndAnEndedThreadAnswersZero) {
    RecordingWindow window;
    std::intptr_t result = -1;
    bool answered = true;
    std::thread([&] {
        answered = SendMessageTimeout(window.handle, kEndOfMovie, 0, 1, 50, &result);
    }).join();
    EXPECT_FALSE(answered);
    EXPECT_EQ(result, 0);
    PumpMessages();
    EXPECT_EQ(window.calls, 0); // abandoned before it ran

    // A window whose thread has ended: the send comes back at once with 0.
    WindowHandle orphan = 0;
    std::thread([&] { orphan = CreateOffscreenWindow(4, 4, [](auto...) { return 7; }); }).join();
    ASSERT_TRUE(IsWindow(orphan));
    std::thread([&] { result = SendMessage(orphan, kWmUser, 0, 0); }).join();
    EXPECT_EQ(result, 0);
    DestroyWindow(orphan);
}

TEST(WindowMessagesTest, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    // The worker's window answers by sending to the main thread's window; the main thread is
    // itself blocked in a send to the worker, and must run the nested message while it waits.
    RecordingWindow mainWindow;
    std::promise<WindowHandle> workerWindow;
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        workerWindow.set_value(CreateOffscreenWindow(
            4, 4, [&](WindowHandle, std::uint32_t m, std::uintptr_t, std::intptr_t l) {
                return m == kWmUser ? SendMessage(mainWindow.handle, kEndOfMovie, 0, l) * 10
                                    : std::intptr_t{0};
            }));
        while (!stop) {
            WaitMessage(20);
            PumpMessages();
        }
    });
    const WindowHandle other = workerWindow.get_future().get();
    EXPECT_EQ(SendMessage(other, kWmUser, 0, 4), 50);
    EXPECT_EQ(mainWindow.calls, 1);
    EXPECT_EQ(mainWindow.ranOn, std::this_thread::get_id());
    stop = true;
    worker.join();
    DestroyWindow(other);
}

TEST(WindowMessagesTest, PeekTakesPostedMessagesInOrderAndRunsTheHostPumpWhenIdle) {
    RecordingWindow a;
    RecordingWindow b;
    ASSERT_TRUE(PostMessage(a.handle, kWmUser + 1, 1, 0));
    ASSERT_TRUE(PostMessage(b.handle, kWmUser + 2, 2, 0));
    ASSERT_TRUE(PostMessage(a.handle, kWmUser + 3, 3, 0));
    EXPECT_FALSE(PostMessage(0x9999, kWmUser, 0, 0));

    int pumpRuns = 0;
    SetMessagePump([&] {
        ++pumpRuns;
        Message nested;
        PeekMessage(&nested, 0, 0xFFFF0, 0xFFFF0, kPmNoRemove); // must not re-enter the pump
    });
    Message m;
    ASSERT_TRUE(PeekMessage(&m, b.handle, 0, 0, kPmRemove)); // only b's
    EXPECT_EQ(m.wParam, 2u);
    ASSERT_TRUE(PeekMessage(&m, 0, kWmUser + 3, kWmUser + 3, kPmNoRemove));
    EXPECT_EQ(m.wParam, 3u);
    std::vector<std::uintptr_t> order;
    while (PeekMessage(&m, 0, 0, 0, kPmRemove)) {
        TranslateMessage(&m);
        DispatchMessage(&m);
        order.push_back(m.wParam);
    }
    EXPECT_EQ(order, (std::vector<std::uintptr_t>{1, 3}));
    EXPECT_EQ(pumpRuns, 1); // once, when the queue ran dry
    SetMessagePump({});

    PostQuitMessage(3);
    EXPECT_FALSE(PumpMessages());
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, kPmRemove));
    EXPECT_EQ(m.message, kWmQuit);
    EXPECT_EQ(m.wParam, 3u);
}

TEST(WindowMessagesTest, WakeHookTellsASleepingHostThatMessagesWait) {
    RecordingWindow window;
    std::atomic<int> wakes{0};
    SetThreadWakeHook([&] { ++wakes; });
    auto reply = std::async(std::launch::async,
                            [&] { return SendMessage(window.handle, kEndOfMovie, 0, 0); });
    while (wakes == 0)
        std::this_thread::sleep_for(1ms);
    PumpMessages();
    EXPECT_EQ(reply.get(), 1);
    PostMessage(window.handle, kWmNull, 0, 0);
    EXPECT_EQ(wakes, 2);
    SetThreadWakeHook({});
    PumpMessages();
}

} // namespace
