#pragma once

#include <functional>
#include <string_view>

namespace fz {

// The engine's and the filters' diagnostic lines. They go to standard output unless a host
// installs a sink (the command-line program keeps standard output for its own results, the
// tests record them). Any thread may call. The sink is called without any lock held (so it may
// wait for another thread that prints, or print itself), possibly from several threads at once;
// a thread that took the sink just before it was replaced may still call it once, so a sink
// must stay callable until the threads that print have finished. Lines to standard output are
// written whole, one after the other.
using DiagnosticsSink = std::function<void(std::string_view text)>;

// Formats like printf and hands the text to the sink (or writes it to standard output).
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a sink; an empty function restores standard output. Returns the previous sink.
DiagnosticsSink SetDiagnosticsSink(DiagnosticsSink sink);

} // namespace fz
