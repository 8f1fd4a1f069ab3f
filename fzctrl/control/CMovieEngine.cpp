#include "fzctrl/control/CMovieEngine.h"

#include "fzctrl/control/TempPathRule.h"
#include "platform/fs/DriveC.h"

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

} // namespace fz
