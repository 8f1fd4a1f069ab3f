#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace fz::cli {

// Where the engine's diagnostic lines go while framzel-cli runs: standard output belongs to the
// program's results, so they are appended to "framzel-cli.log" in drive C:, or written to
// standard error when `verbose`. Installed for the life of the object (main's scope).
class DiagnosticsRoute {
public:
    explicit DiagnosticsRoute(bool verbose);
    ~DiagnosticsRoute();
    DiagnosticsRoute(const DiagnosticsRoute&) = delete;
    DiagnosticsRoute& operator=(const DiagnosticsRoute&) = delete;

private:
    std::FILE* m_log = nullptr;
};

// A message for people on standard error: "framzel-cli: " and the text, one line.
void PrintError(std::string_view text);

// True when standard error is a terminal (the progress bar redraws one line then).
bool StandardErrorIsTerminal();

} // namespace fz::cli
