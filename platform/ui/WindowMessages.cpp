#include "platform/ui/WindowMessages.h"

#include "platform/ui/ThreadQueue.h"
#include "platform/ui/WindowTable.h"

#include <chrono>
#include <mutex>
#include <utility>

namespace fz::ui {
namespace {

using Clock = std::chrono::steady_clock;

std::mutex& PumpMutex() {
    static std::mutex mutex;
    return mutex;
}

MessagePump& Pump() {
    static MessagePump pump;
    return pump;
}

thread_local bool t_inPump = false;

Clock::time_point DeadlineAfter(std::uint32_t timeoutMs) {
    if (timeoutMs == 0xFFFFFFFF)
        return Clock::time_point::max();
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

bool Send(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
          Clock::time_point deadline, std::intptr_t* result) {
    WindowProc proc;
    std::shared_ptr<detail::ThreadQueue> thread;
    if (!detail::FindWindowProc(window, &proc, &thread))
        return false;
    auto self = detail::ThreadQueue::Current();
    if (thread == self) {
        const std::intptr_t r = proc ? proc(window, message, wParam, lParam) : 0;
        if (result)
            *result = r;
        return true;
    }
    auto sent = std::make_shared<detail::SentMessage>();
    sent->message = Message{window, message, wParam, lParam};
    sent->sender = self;
    if (!thread->EnqueueSent(sent)) {
        if (result)
            *result = 0;
        return true; // the window's thread has ended: answered with 0
    }
    if (!self->WaitForReply(*sent, deadline))
        return false;
    if (result)
        *result = sent->result;
    return true;
}

void RunHostPump() {
    if (t_inPump)
        return;
    MessagePump pump;
    {
        std::lock_guard lock(PumpMutex());
        pump = Pump();
    }
    if (!pump)
        return;
    t_inPump = true;
    pump();
    t_inPump = false;
}

} // namespace

std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam) {
    std::intptr_t result = 0;
    Send(window, message, wParam, lParam, Clock::time_point::max(), &result);
    return result;
}

bool SendMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                        std::intptr_t lParam, std::uint32_t timeoutMs, std::intptr_t* result) {
    std::intptr_t r = 0;
    const bool answered = Send(window, message, wParam, lParam, DeadlineAfter(timeoutMs), &r);
    if (result)
        *result = answered ? r : 0;
    return answered;
}

bool PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                 std::intptr_t lParam) {
    std::shared_ptr<detail::ThreadQueue> thread;
    if (!detail::FindWindowProc(window, nullptr, &thread))
        return false;
    return thread->Post(Message{window, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) {
    detail::ThreadQueue::Current()->Post(
        Message{0, kWmQuit, static_cast<std::uintptr_t>(exitCode), 0});
}

bool PeekMessage(Message* message, WindowHandle window, std::uint32_t filterMin,
                 std::uint32_t filterMax, std::uint32_t flags) {
    auto self = detail::ThreadQueue::Current();
    const bool remove = (flags & kPmRemove) != 0;
    self->RunSent();
    if (self->TakePosted(message, window, filterMin, filterMax, remove))
        return true;
    RunHostPump();
    self->RunSent();
    return self->TakePosted(message, window, filterMin, filterMax, remove);
}

std::intptr_t DispatchMessage(const Message* message) {
    if (!message || message->window == 0)
        return 0;
    WindowProc proc;
    if (!detail::FindWindowProc(message->window, &proc, nullptr) || !proc)
        return 0;
    return proc(message->window, message->message, message->wParam, message->lParam);
}

bool WaitMessage(std::uint32_t timeoutMs) {
    return detail::ThreadQueue::Current()->WaitForMessage(DeadlineAfter(timeoutMs));
}

bool PumpMessages() {
    auto self = detail::ThreadQueue::Current();
    for (;;) {
        self->RunSent();
        Message message;
        if (!self->TakePosted(&message, 0, 0, 0, false))
            return true;
        if (message.message == kWmQuit)
            return false;
        self->TakePosted(&message, 0, 0, 0, true);
        DispatchMessage(&message);
    }
}

MessagePump SetMessagePump(MessagePump pump) {
    std::lock_guard lock(PumpMutex());
    return std::exchange(Pump(), std::move(pump));
}

void SetThreadWakeHook(std::function<void()> hook) {
    detail::ThreadQueue::Current()->SetWakeHook(std::move(hook));
}

} // namespace fz::ui
