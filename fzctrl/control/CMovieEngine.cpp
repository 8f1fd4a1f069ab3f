#include "fzctrl/control/CMovieEngine.h"

#include "fzctrl/control/TempPathRule.h"
#include "platform/fs/DriveC.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace fz {

CMovieEngine::CMovieEngine()
    : m_tempFolder(fs::HostPath("c:\\")) {}

void CMovieEngine::SetTempPath(std::string_view text) {
    while (!text.empty() && IsPathWhiteSpace(text.back()))
        text.remove_suffix(1);
    m_tempFolder.assign(text);
    if (!m_tempFolder.empty() && m_tempFolder.back() != '/')
        m_tempFolder += '/';
}

CMovieEngine::TempFolderCheck CMovieEngine::CheckTempFolder() const {
    constexpr const char* kUnavailable = "temporary folder unavailable: ";
    if (m_tempFolder.empty()) {
        const bool driveCRefused = !fs::DriveCFolder().has_value();
        return {false, std::string(kUnavailable) +
                           (driveCRefused ? "drive C: is refused (see FRAMZEL_DRIVE_C and TMPDIR)"
                                          : "the setting names no folder")};
    }
    struct stat info {};
    if (stat(m_tempFolder.c_str(), &info) != 0)
        return {false, kUnavailable + m_tempFolder + ": " + std::strerror(errno)};
    if (!S_ISDIR(info.st_mode))
        return {false, kUnavailable + m_tempFolder + " is not a folder"};
    if (access(m_tempFolder.c_str(), W_OK | X_OK) != 0)
        return {false, kUnavailable + m_tempFolder + " cannot be written"};
    return {true, {}};
}

} // namespace fz
