#include "framzel/cli/ConvertJob.h"

#include "framzel/cli/CliConsole.h"
#include "framzel/cli/ProgressDisplay.h"
#include "framzel/cli/SourceDiagnosis.h"
#include "fzctrl/control/CFramzelCtrl.h"
#include "platform/ui/WindowMessages.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace fz::cli {
namespace {

std::atomic<int> g_interrupts{0};
std::atomic<bool> g_abandon{false};

extern "C" void OnInterrupt(int) {
    if (g_interrupts.fetch_add(1) >= 1)
        g_abandon.store(true);
}

// SIGINT handled for the life of the object.
class InterruptHandler {
public:
    InterruptHandler() {
        g_interrupts = 0;
        g_abandon = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptHandler() { sigaction(SIGINT, &m_previous, nullptr); }
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

private:
    struct sigaction m_previous {};
};

long NamedValue(const CFramzelCtrl& ctrl, const char* name) {
    long value = 0;
    Bool ok = kFalse;
    ctrl.GetRegKeyValue(name, &value, &ok);
    return value;
}

void ApplySettings(CFramzelCtrl& ctrl, const ConvertOverrides& o) {
    ConvertParams params{};
    Bool ok = kFalse;
    ctrl.GetConfig(reinterpret_cast<long>(&params), &ok);
    params.width = o.width.value_or(params.width);
    params.height = o.height.value_or(params.height);
    params.framerate = o.framerate.value_or(params.framerate);
    params.rotate = o.rotate.value_or(params.rotate);
    params.quality = o.quality.value_or(params.quality);
    params.jpegformat = o.jpegformat.value_or(params.jpegformat);
    params.channels = o.channels.value_or(params.channels);
    if (o.tempFolder) {
        std::memset(params.temp_path, 0, sizeof params.temp_path);
        std::strncpy(params.temp_path, o.tempFolder->c_str(), sizeof params.temp_path - 1);
    }
    ctrl.ConvertSetParam(reinterpret_cast<long>(&params));
    ctrl.SetEQ(static_cast<short>(o.equalizer.value_or(NamedValue(ctrl, "audio_eq"))));
    ctrl.SetVCut(ToBool(o.verticalCut.value_or(NamedValue(ctrl, "vertical_cut") != 0)));
    ctrl.CutOffWideScreen(
        ToBool(o.wideScreenCut.value_or(NamedValue(ctrl, "cutoff_widescreen") != 0)),
        o.wideScreenTop.value_or(NamedValue(ctrl, "cutoff_widescreentop")),
        o.wideScreenBottom.value_or(NamedValue(ctrl, "cutoff_widescreenbottom")));
}

} // namespace

ExitStatus RunConversion(const std::string& source, const std::string& target,
                         const ConvertOverrides& overrides, const GlobalOptions& options) {
    if (const std::string why = CheckBeforeConverting(source, target); !why.empty()) {
        PrintError(why);
        return kExitFailed;
    }
    // A fast conversion plays nothing; the graph asks the sound output only which formats it
    // takes. The silent backend answers that on machines without a sound card too (a user's
    // own FRAMZEL_AUDIO stays).
    setenv("FRAMZEL_AUDIO", "null", 0);
    CFramzelCtrl ctrl;
    ApplySettings(ctrl, overrides);

    InterruptHandler interrupts;
    ctrl.Engine().Conversion().SetAbandonFlag(&g_abandon);
    ProgressDisplay progress(options.quiet, StandardErrorIsTerminal(), "converting");
    const auto started = std::chrono::steady_clock::now();
    auto lastPoll = started;
    bool stopAsked = false;
    const ui::MessagePump previous = ui::SetMessagePump([&] {
        if (g_interrupts.load() > 0 && !stopAsked) {
            stopAsked = true;
            Bool stopped = kFalse;
            ctrl.ConvertStop(&stopped);
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPoll < std::chrono::milliseconds(100))
            return;
        lastPoll = now;
        short state = 0;
        ctrl.GetConvertState(&state);
        if (state != 1 && state != 2)
            return;
        ProgressSample sample;
        ctrl.ConvertGetTotleTime(&sample.durationMs);
        ctrl.ConvertGetCurrentTime(&sample.positionMs);
        sample.elapsedSeconds = std::chrono::duration<double>(now - started).count();
        progress.Update(sample);
    });

    Bool converted = kFalse;
    ctrl.ConvertStart(source.c_str(), target.c_str(), kTrue, &converted);
    ui::SetMessagePump(previous);
    ctrl.Engine().Conversion().SetAbandonFlag(nullptr);
    progress.Finish();

    if (g_abandon.load()) {
        PrintError("abandoned: no movie was written");
        return kExitFailed;
    }
    if (converted == kFalse) {
        PrintError(ExplainFailure(source, target));
        return kExitFailed;
    }
    if (stopAsked)
        PrintError("stopped: the movie holds what was converted so far");
    std::printf("%s\n", target.c_str());
    return kExitDone;
}

} // namespace fz::cli
