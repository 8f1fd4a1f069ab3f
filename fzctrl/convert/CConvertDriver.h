#pragma once

#include "fzctrl/control/ConvertParams.h"
#include "fzctrl/convert/CConvertGraph.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace fz {

// Checks the temporary folder as it stands now: empty when it can take the conversion's files,
// otherwise the reason why not (the engine's CMovieEngine::CheckTempFolder).
using TempFolderReason = std::function<std::string()>;

// The engine's conversion: names the intermediate files, runs the conversion graph and hands
// the filters' files to the movie writer. One per engine (one conversion at a time per
// control); everything on the control's thread.
class CConvertDriver {
public:
    CConvertDriver() = default;
    ~CConvertDriver();
    CConvertDriver(const CConvertDriver&) = delete;
    CConvertDriver& operator=(const CConvertDriver&) = delete;

    // Starts converting `source` into the movie `target` (host paths) with `record` (the
    // control's record; its result fields are written). Returns 0 or 2:
    //  - 2 at once for the same source and target (compared without regard to case, or the
    //    same file by another name), a target without a folder, and while a fast conversion of
    //    this driver is waiting in its message loop (a start from one of its messages);
    //  - the temporary folder is checked with `checkTempFolder` and then probed by creating
    //    "52731904" in it; when either fails it becomes drive C: for good (`tempFolder` is the
    //    engine's and is changed). 2, with the reason printed to the diagnostics, when no
    //    usable folder remains (drive C: refused too): no probe or intermediate file is made;
    //  - movie-make mode: 0 once the graph runs (the movie is written by Stop);
    //  - fast mode: returns when the conversion has ended and the movie is written: 0, or 2
    //    when the movie could not be written although the graph ran to its end. A conversion
    //    Stop ended from a message was written by Stop and gives 0.
    // The intermediate files are deleted after every fast conversion, also a failed one.
    int Start(const std::string& source, const std::string& target, bool fast,
              ConvertParams& record, std::string& tempFolder,
              const TempFolderReason& checkTempFolder, const ConvertFilterSettings& settings);

    // Stops a running graph; when it was recording, writes the movie from what was converted
    // (after 500 ms for the filters to settle) and deletes the intermediate files. Nothing when
    // no graph runs. `tempFolder` is the engine's current temporary folder.
    void Stop(const std::string& tempFolder);

    // A flag that, once set (a second Ctrl-C of the command-line program), makes the movie
    // writer give up: the conversion then leaves no movie. The flag outlives the driver's use.
    void SetAbandonFlag(const std::atomic<bool>* abandon) { m_abandon = abandon; }

    CConvertGraph& Graph() { return m_graph; }
    const CConvertGraph& Graph() const { return m_graph; }
    const std::string& PendingTarget() const { return m_pendingTarget; }

private:
    void WritePendingMovie(const std::string& frameFile, const std::string& soundFile);

    CConvertGraph m_graph;
    std::string m_pendingTarget;
    std::string m_temporaryBase;
    ConvertParams m_snapshot{};
    bool m_fastWaiting = false;
    const std::atomic<bool>* m_abandon = nullptr;
};

// The temporary base of a conversion: `tempFolder` + "fz_%08d_" + the target's file name (the
// part after its last '/') with every space removed.
std::string TemporaryBase(const std::string& tempFolder, std::uint32_t tickCount,
                          std::string_view target);

// Equal ignoring letter case (ASCII letters; other bytes as they are).
bool SamePathIgnoringCase(std::string_view a, std::string_view b);

} // namespace fz
