#pragma once

#include "platform/ui/WindowMessages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace fz::ui::detail {

class ThreadQueue;

// One message sent to another thread, waiting to run there. Its state is guarded by the
// sending thread's queue mutex, whose condition variable wakes the sender when it is done.
struct SentMessage {
    Message message;
    std::shared_ptr<ThreadQueue> sender;
    std::intptr_t result = 0;
    bool running = false;
    bool done = false;
    bool abandoned = false;
};

// The message queue of one thread: messages sent to it (run by RunSent on that thread) and
// messages posted to it (taken by TakePosted). Created on first use by the thread itself
// (Current) and closed when the thread ends: messages still waiting are then answered with 0.
class ThreadQueue {
public:
    // The calling thread's queue.
    static std::shared_ptr<ThreadQueue> Current();

    // Any thread. False when the owning thread has ended.
    bool EnqueueSent(const std::shared_ptr<SentMessage>& sent);
    bool Post(const Message& message);

    // The owning thread: runs every waiting sent message; true when one ran.
    bool RunSent();

    // The owning thread: the oldest posted message that matches, removed when `remove`.
    bool TakePosted(Message* message, WindowHandle window, std::uint32_t filterMin,
                    std::uint32_t filterMax, bool remove);

    // The owning thread: waits until a message is sent or posted, or the deadline.
    bool WaitForMessage(std::chrono::steady_clock::time_point deadline);

    // The sending thread (the queue's owner) waits for `sent` to be answered, running messages
    // sent to it meanwhile. False on the deadline (the message is abandoned if not yet
    // running).
    bool WaitForReply(SentMessage& sent, std::chrono::steady_clock::time_point deadline);

    // Called on the executing thread when a sent message has run (or was answered with 0).
    static void Answer(SentMessage& sent, std::intptr_t result);

    void SetWakeHook(std::function<void()> hook);

    // The owning thread ends.
    void Close();

private:
    void Wake(std::unique_lock<std::mutex>& lock);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<SentMessage>> m_sent;
    std::deque<Message> m_posted;
    std::function<void()> m_wakeHook;
    bool m_open = true;
};

} // namespace fz::ui::detail
