#pragma once

#include "fzctrl/control/Bool.h"
#include "fzctrl/control/ConvertParams.h"
#include "fzctrl/convert/CConvertDriver.h"
#include "fzctrl/play/MoviePlayback.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace fz {

// The widescreen cut-off: the fractions of the source height removed at the top and at the
// bottom (used only together with the vertical cut). Off means both fractions are 0.0.
struct WideScreenCutOff {
    Bool enabled = kFalse;
    double top = 0.0;
    double bottom = 0.0;
};

// The engine of one control, created and owned by CFramzelCtrl for its whole life. For now it
// holds the settings that the conversion driver hands to the processing filters at the next
// conversion start: changing one while a conversion runs does not affect that conversion.
// Everything runs on the control's thread.
class CMovieEngine {
public:
    // Equaliser level 0, no vertical cut, cut-off off, preview rotation on, temporary folder
    // drive C: ("c:\").
    CMovieEngine();

    // The equaliser level in dB (the audio filter's gain); the control limits it to -18..18.
    std::int16_t EqualizerLevel() const { return m_equalizerLevel; }
    void SetEqualizerLevel(std::int16_t level) { m_equalizerLevel = level; }

    Bool VerticalCut() const { return m_verticalCut; }
    void SetVerticalCut(Bool cut) { m_verticalCut = ToBool(cut != kFalse); }

    const WideScreenCutOff& WideScreenCut() const { return m_wideScreenCut; }
    void SetWideScreenCut(const WideScreenCutOff& cut) { m_wideScreenCut = cut; }

    Bool PreviewRotate() const { return m_previewRotate; }
    void SetPreviewRotate(Bool rotate) { m_previewRotate = ToBool(rotate != kFalse); }

    // The temporary folder in host form: empty, or ending in '/'.
    const std::string& TempFolder() const { return m_tempFolder; }

    // Stores `text` with its trailing white space removed and a '/' appended unless it already
    // ends in one. A text that is empty (after the trimming) leaves the folder empty.
    void SetTempPath(std::string_view text);

    // Whether the temporary folder can take the conversion's files. An empty folder (drive C:
    // refused, or a setting that names no folder) would make every temporary name resolve
    // against the current directory, so the conversion driver checks this before a conversion
    // starts and fails the conversion with `reason` unless `usable`. Also refused: a folder that
    // does not exist, is no folder, or cannot be written. Reads the file system; control thread.
    struct TempFolderCheck {
        bool usable = false;
        std::string reason; // empty when usable
    };
    TempFolderCheck CheckTempFolder() const;

    // The player, its preview drawer and the preview target.
    MoviePlayback& Playback() { return m_playback; }
    const MoviePlayback& Playback() const { return m_playback; }

    // The conversion (CConvertDriver.h) with this engine's settings and temporary folder:
    // ConvertStart returns 0 or 2; ConvertStop writes a recorded movie. The conversion graph
    // answers Record, Pause, Run, the position, the times and the state.
    int ConvertStart(const std::string& source, const std::string& target, bool fast,
                     ConvertParams& record);
    void ConvertStop();
    CConvertGraph& ConvertGraph() { return m_conversion.Graph(); }
    CConvertDriver& Conversion() { return m_conversion; }
    const CConvertGraph& ConvertGraph() const { return m_conversion.Graph(); }

private:
    MoviePlayback m_playback;
    CConvertDriver m_conversion;
    std::int16_t m_equalizerLevel = 0;
    Bool m_verticalCut = kFalse;
    WideScreenCutOff m_wideScreenCut;
    Bool m_previewRotate = kTrue;
    std::string m_tempFolder;
};

} // namespace fz
