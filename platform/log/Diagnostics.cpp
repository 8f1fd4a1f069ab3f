#include "platform/log/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace fz {
namespace {

// The installed sink, replaced as a whole so that a caller can hold on to the one it took.
struct SinkSlot {
    std::mutex mutex;
    std::shared_ptr<const DiagnosticsSink> sink;
};

SinkSlot& Slot() {
    static SinkSlot* slot = new SinkSlot; // lines may be printed while the process exits
    return *slot;
}

std::mutex& StandardOutputMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

} // namespace

void DebugPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);

    std::shared_ptr<const DiagnosticsSink> sink;
    {
        std::lock_guard lock(Slot().mutex);
        sink = Slot().sink;
    }
    // The sink runs without any lock of ours held: a host's sink may wait for its GUI thread,
    // and that thread may be printing too.
    if (sink) {
        (*sink)(text);
        return;
    }
    std::lock_guard lock(StandardOutputMutex());
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

DiagnosticsSink SetDiagnosticsSink(DiagnosticsSink sink) {
    auto installed = sink ? std::make_shared<const DiagnosticsSink>(std::move(sink)) : nullptr;
    std::lock_guard lock(Slot().mutex);
    auto previous = std::exchange(Slot().sink, std::move(installed));
    return previous ? *previous : DiagnosticsSink();
}

} // namespace fz
