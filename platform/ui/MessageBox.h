#pragma once

#include "platform/ui/Window.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace fz::ui {

// Message box styles and answers; the numbers are the platform's.
enum MessageBoxStyle : std::uint32_t {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbYesNo = 0x4,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
};
enum MessageBoxAnswer : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// A host shows message boxes of the engine its own way: a dialog in the program, a line on
// standard error in the command-line program (the default), a recorder in tests. The handler
// is called on the thread that raised the message box and returns the answer.
using MessageBoxHandler = std::function<int(WindowHandle owner, std::string_view text,
                                            std::string_view caption, std::uint32_t style)>;

// Installs a handler (an empty one restores the default). Returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Shows a message box through the installed handler and returns its answer. The default
// handler writes "caption: text" to standard error and answers OK (or Yes).
int MessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
               std::uint32_t style);

// For tests: records every message box while it lives and answers with a fixed value.
class MessageBoxRecorder {
public:
    struct Shown {
        WindowHandle owner;
        std::string text;
        std::string caption;
        std::uint32_t style;
    };

    explicit MessageBoxRecorder(int answer = kIdOk);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<Shown> Messages() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Shown> m_shown;
    MessageBoxHandler m_previous;
};

} // namespace fz::ui
