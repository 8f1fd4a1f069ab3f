#include "framzel/cli/CliConsole.h"

#include "platform/fs/DriveC.h"
#include "platform/log/Diagnostics.h"

#include <unistd.h>

namespace fz::cli {

DiagnosticsRoute::DiagnosticsRoute(bool verbose) {
    if (verbose) {
        SetDiagnosticsSink(
            [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); });
        return;
    }
    if (const auto folder = fs::DriveCFolder())
        m_log = std::fopen((*folder + "framzel-cli.log").c_str(), "ae");
    std::FILE* log = m_log;
    SetDiagnosticsSink([log](std::string_view text) {
        if (log != nullptr) {
            std::fwrite(text.data(), 1, text.size(), log);
            std::fflush(log);
        }
    });
}

DiagnosticsRoute::~DiagnosticsRoute() {
    SetDiagnosticsSink({});
    if (m_log != nullptr)
        std::fclose(m_log);
}

void PrintError(std::string_view text) {
    std::fprintf(stderr, "framzel-cli: %.*s\n", static_cast<int>(text.size()), text.data());
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

} // namespace fz::cli
