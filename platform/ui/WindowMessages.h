#pragma once

#include "platform/ui/Window.h"

#include <cstdint>
#include <functional>

namespace fz::ui {

// Messages and threads. Every thread that creates a window has a message queue. A message
// sent to a window (SendMessage) runs the window's procedure on the window's thread:
// directly when the caller is that thread, otherwise it is queued there and the caller waits
// until the window's thread pumps (PeekMessage, WaitMessage or PumpMessages). While it waits,
// the caller runs messages sent to its own thread, so two threads sending to each other do
// not deadlock. Posted messages (PostMessage) wait in the window thread's queue until that
// thread takes them with PeekMessage and dispatches them.
//
// How a host thread pumps:
// - The command-line program and the tests: the window thread loops on WaitMessage and
//   PeekMessage / DispatchMessage (or calls PumpMessages) whenever it waits.
// - The Qt program: it installs a wake hook on its GUI thread (SetThreadWakeHook) that
//   schedules PumpMessages on that thread (a queued call), and a message pump (SetMessagePump)
//   that processes Qt's events, so that a fast conversion waiting in a PeekMessage loop keeps
//   the user interface alive.
// When a thread that owns windows ends, messages still waiting for it are answered with 0.

struct Message {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

enum PeekFlags : std::uint32_t { kPmNoRemove = 0x0, kPmRemove = 0x1 };

// Sends a message and returns the procedure's result; 0 for an unknown window, and when the
// window or its thread goes away before the message ran. Waits without a time limit.
std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam);

// SendMessage that gives up after `timeoutMs`: false on time-out (the message is then dropped
// if it has not begun to run) or for an unknown window; `result` may be null.
bool SendMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                        std::intptr_t lParam, std::uint32_t timeoutMs, std::intptr_t* result);

// Queues a message for the window's thread and returns at once; false for an unknown window.
bool PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                 std::intptr_t lParam);

// Posts kWmQuit (wParam = exit code) to the calling thread's own queue.
void PostQuitMessage(int exitCode);

// Runs the messages sent to the calling thread, then takes the oldest posted message of this
// thread (`window` 0: for any of its windows) into `message` and returns true, removing it
// with kPmRemove. When none is waiting, the installed message pump (SetMessagePump) runs once
// (never re-entered on the same thread) and the queue is looked at once more.
bool PeekMessage(Message* message, WindowHandle window, std::uint32_t filterMin,
                 std::uint32_t filterMax, std::uint32_t flags);

// Nothing to translate on this platform; kept so pumps read as they would elsewhere.
inline bool TranslateMessage(const Message*) {
    return false;
}

// Runs the message's window procedure on the calling thread and returns its result (0 for a
// message without window or an unknown one).
std::intptr_t DispatchMessage(const Message* message);

// Waits until a message is sent or posted to the calling thread or `timeoutMs` passes; true
// when something is waiting. Runs nothing.
bool WaitMessage(std::uint32_t timeoutMs);

// Runs every message sent to the calling thread and dispatches every posted one (kWmQuit is
// left in the queue). Returns false when kWmQuit is waiting.
bool PumpMessages();

// The host's message pump: run by PeekMessage when the platform queue is empty, on the thread
// that peeks (the window thread). One pump for the process; an empty one removes it. Returns
// the previous pump.
using MessagePump = std::function<void()>;
MessagePump SetMessagePump(MessagePump pump);

// A hook run, on the sending thread, each time a message is sent or posted to the calling
// thread's queue, so that a host whose thread sleeps in its own event loop can schedule a
// PumpMessages there. It must not block. An empty hook removes it.
void SetThreadWakeHook(std::function<void()> hook);

} // namespace fz::ui
