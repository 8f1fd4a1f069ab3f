#include "platform/log/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace fz {
namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

DiagnosticsSink& Sink() {
    static DiagnosticsSink sink;
    return sink;
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

    std::lock_guard lock(SinkMutex());
    if (Sink()) {
        Sink()(text);
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
}

DiagnosticsSink SetDiagnosticsSink(DiagnosticsSink sink) {
    std::lock_guard lock(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

} // namespace fz
