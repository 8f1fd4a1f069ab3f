#pragma once

#include <string>

namespace fz::dsp {

// The video filter's debug log: the text file "c:\fzdsp_%d.log" in drive C:, the number
// identifying the filter instance. Each line is appended by opening the file, writing and
// closing it; a line that cannot be written is dropped silently. Called on the streaming
// thread under the filter's lock; nothing here is shared between instances.
class FilterDebugLog {
public:
    explicit FilterDebugLog(const void* instance);

    void Append(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The engine path of the log ("c:\fzdsp_N.log").
    const std::string& EnginePath() const { return m_enginePath; }

private:
    std::string m_enginePath;
};

// The platform's debug trace (the debugger output of the original platform): silent unless
// FRAMZEL_TRACE is "1" (standard error) or names a file (appended). Any thread.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace fz::dsp
