#include "fzdsp/filters/FilterDebugLog.h"

#include "platform/fs/DriveC.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace fz::dsp {
namespace {

void AppendTo(const std::string& hostPath, const char* format, std::va_list arguments) {
    if (hostPath.empty())
        return;
    std::FILE* file = std::fopen(hostPath.c_str(), "a");
    if (file == nullptr)
        return;
    std::vfprintf(file, format, arguments);
    std::fclose(file);
}

} // namespace

FilterDebugLog::FilterDebugLog(const void* instance) {
    // The instance's address, as the number of its log; the low 32 bits suffice to tell the
    // filters of one process apart.
    const auto number =
        static_cast<int>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(instance)));
    char name[48];
    std::snprintf(name, sizeof name, "c:\\fzdsp_%d.log", number);
    m_enginePath = name;
}

void FilterDebugLog::Append(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    AppendTo(fs::HostPath(m_enginePath), format, arguments);
    va_end(arguments);
}

void DebugTrace(const char* format, ...) {
    const char* target = std::getenv("FRAMZEL_TRACE");
    if (target == nullptr || *target == '\0')
        return;
    std::va_list arguments;
    va_start(arguments, format);
    if (std::string_view(target) == "1") {
        static std::mutex lines;
        std::lock_guard lock(lines);
        std::vfprintf(stderr, format, arguments);
    } else {
        AppendTo(target, format, arguments);
    }
    va_end(arguments);
}

} // namespace fz::dsp
