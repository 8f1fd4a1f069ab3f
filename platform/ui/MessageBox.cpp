#include "platform/ui/MessageBox.h"

#include <cstdio>
#include <utility>

namespace fz::ui {
namespace {

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

int DefaultAnswer(std::uint32_t style) {
    return (style & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(HandlerMutex());
    return std::exchange(Handler(), std::move(handler));
}

int MessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
               std::uint32_t style) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = Handler();
    }
    if (handler)
        return handler(owner, text, caption, style);
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    return DefaultAnswer(style);
}

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    m_previous =
        SetMessageBoxHandler([this, answer](WindowHandle owner, std::string_view text,
                                            std::string_view caption, std::uint32_t style) {
            std::lock_guard lock(m_mutex);
            m_shown.push_back({owner, std::string(text), std::string(caption), style});
            return answer;
        });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(std::move(m_previous));
}

std::vector<MessageBoxRecorder::Shown> MessageBoxRecorder::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

} // namespace fz::ui
