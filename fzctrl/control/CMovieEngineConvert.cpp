#include "fzctrl/control/CMovieEngine.h"

namespace fz {

int CMovieEngine::ConvertStart(const std::string& source, const std::string& target, bool fast,
                               ConvertParams& record) {
    ConvertFilterSettings settings;
    settings.equalizerLevel = m_equalizerLevel;
    settings.verticalCut = m_verticalCut;
    settings.wideScreenCut = m_wideScreenCut.enabled;
    settings.wideScreenTop = m_wideScreenCut.top;
    settings.wideScreenBottom = m_wideScreenCut.bottom;
    settings.previewRotate = m_previewRotate;
    const TempFolderReason checkTempFolder = [this] {
        const TempFolderCheck check = CheckTempFolder();
        return check.usable ? std::string() : check.reason;
    };
    return m_conversion.Start(source, target, fast, record, m_tempFolder, checkTempFolder,
                              settings);
}

void CMovieEngine::ConvertStop() {
    m_conversion.Stop(m_tempFolder);
}

} // namespace fz
