#include "platform/ui/ThreadQueue.h"

#include "platform/ui/WindowTable.h"

#include <utility>

namespace fz::ui::detail {
namespace {

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
    ~QueueHolder() { queue->Close(); }
};

bool Matches(const Message& message, WindowHandle window, std::uint32_t filterMin,
             std::uint32_t filterMax) {
    if (window != 0 && message.window != window)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return message.message >= filterMin && message.message <= filterMax;
}

} // namespace

std::shared_ptr<ThreadQueue> ThreadQueue::Current() {
    thread_local QueueHolder holder;
    return holder.queue;
}

void ThreadQueue::Wake(std::unique_lock<std::mutex>& lock) {
    std::function<void()> hook = m_wakeHook;
    m_changed.notify_all();
    lock.unlock();
    if (hook)
        hook();
}

bool ThreadQueue::EnqueueSent(const std::shared_ptr<SentMessage>& sent) {
    std::unique_lock lock(m_mutex);
    if (!m_open)
        return false;
    m_sent.push_back(sent);
    Wake(lock);
    return true;
}

bool ThreadQueue::Post(const Message& message) {
    std::unique_lock lock(m_mutex);
    if (!m_open)
        return false;
    m_posted.push_back(message);
    Wake(lock);
    return true;
}

void ThreadQueue::Answer(SentMessage& sent, std::intptr_t result) {
    {
        std::lock_guard lock(sent.sender->m_mutex);
        sent.result = result;
        sent.done = true;
    }
    sent.sender->m_changed.notify_all();
}

bool ThreadQueue::RunSent() {
    bool ranAny = false;
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard lock(m_mutex);
            if (m_sent.empty())
                return ranAny;
            sent = std::move(m_sent.front());
            m_sent.pop_front();
        }
        {
            std::lock_guard lock(sent->sender->m_mutex);
            if (sent->abandoned)
                continue;
            sent->running = true;
        }
        WindowProc proc;
        std::intptr_t result = 0;
        if (FindWindowProc(sent->message.window, &proc, nullptr) && proc)
            result = proc(sent->message.window, sent->message.message, sent->message.wParam,
                          sent->message.lParam);
        Answer(*sent, result);
        ranAny = true;
    }
}

bool ThreadQueue::TakePosted(Message* message, WindowHandle window, std::uint32_t filterMin,
                             std::uint32_t filterMax, bool remove) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_posted.begin(); it != m_posted.end(); ++it) {
        if (!Matches(*it, window, filterMin, filterMax))
            continue;
        if (message)
            *message = *it;
        if (remove)
            m_posted.erase(it);
        return true;
    }
    return false;
}

bool ThreadQueue::WaitForMessage(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_until(lock, deadline,
                                [&] { return !m_sent.empty() || !m_posted.empty(); });
}

bool ThreadQueue::WaitForReply(SentMessage& sent, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (sent.done)
            return true;
        if (!m_sent.empty()) {
            lock.unlock();
            RunSent();
            lock.lock();
            continue;
        }
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout && !sent.done &&
            m_sent.empty()) {
            if (!sent.running)
                sent.abandoned = true;
            return false;
        }
    }
}

void ThreadQueue::SetWakeHook(std::function<void()> hook) {
    std::lock_guard lock(m_mutex);
    m_wakeHook = std::move(hook);
}

void ThreadQueue::Close() {
    std::deque<std::shared_ptr<SentMessage>> waiting;
    {
        std::lock_guard lock(m_mutex);
        m_open = false;
        waiting.swap(m_sent);
        m_posted.clear();
        m_wakeHook = nullptr;
    }
    for (auto& sent : waiting)
        Answer(*sent, 0);
}

} // namespace fz::ui::detail
