// framzel-cli play FILE: plays a KQFF or YHAV movie to the sound device through the control's
// player, drawing into an off-screen preview window, with a progress line of the play clock on
// standard error. Ctrl-C stops. Exit status 0 when the movie played to its end, 1 when it could
// not be played (with the reason), 130 when stopped by Ctrl-C.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"
#include "fzctrl/control/CFramzelCtrl.h"
#include "fzctrl/play/CMoviePlayer.h"
#include "fzctrl/play/MovieFileKind.h"
#include "platform/time/TickCount.h"
#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowPicture.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

namespace fz::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

// The queued sound (at most eight buffers) still plays after the end-of-movie message.
constexpr std::uint32_t kPlayOutMs = 300;

std::string Clock(long ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%04.1f", ms / 60000, (ms % 60000) / 1000.0);
    return text;
}

class PlayCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("FILE", m_file, "The KQFF or YHAV movie to play")->required();
    }

    ExitStatus Run(const GlobalOptions& options) override {
        if (!IsKqffFile(m_file) && !IsYhavFile(m_file)) {
            PrintError("play: " + m_file + ": not a KQFF or YHAV movie");
            return kExitFailed;
        }
        CFramzelCtrl control;
        long width = 0, height = 0, rate = 0, channels = 0;
        Bool ok = kFalse;
        control.GetFormat(m_file.c_str(), &width, &height, &rate, &channels, &ok);
        if (ok == kFalse) {
            PrintError("play: " + m_file + ": the movie's header is damaged (see: probe)");
            return kExitFailed;
        }
        auto ended = std::make_shared<std::atomic<bool>>(false);
        const int windowWidth = static_cast<int>(std::clamp(width, 1L, 4096L));
        const int windowHeight = static_cast<int>(std::clamp(height, 1L, 4096L));
        const ui::WindowHandle window = ui::CreateOffscreenWindow(
            windowWidth, windowHeight,
            [ended](ui::WindowHandle, std::uint32_t message, std::uintptr_t, std::intptr_t) {
                if (message == kEndOfMovieMessage)
                    *ended = true;
                return std::intptr_t{0};
            });
        control.SetPreviewWindow(static_cast<long>(window), 0, 0, windowWidth, windowHeight);
        control.PlayStart(m_file.c_str(), &ok);
        if (ok == kFalse) {
            ui::DestroyWindow(window);
            PrintError("play: " + m_file + ": the player refused the movie (damaged data chunks)");
            return kExitFailed;
        }

        struct sigaction action {};
        struct sigaction previous {};
        action.sa_handler = OnInterrupt;
        sigaction(SIGINT, &action, &previous);
        const bool progress = !options.quiet && StandardErrorIsTerminal();
        ExitStatus status = kExitDone;
        std::uint64_t endSeen = 0;
        for (;;) {
            ui::PumpMessages();
            Bool playing = kFalse;
            control.IsPlaying(&playing);
            long total = 0, current = 0;
            control.PlayTotleTime(&total);
            control.PlayCurrentTime(&current);
            if (progress)
                std::fprintf(stderr, "\r%s / %s ", Clock(current).c_str(), Clock(total).c_str());
            if (g_interrupted) {
                status = static_cast<ExitStatus>(130);
                break;
            }
            if (playing == kFalse && !*ended) {
                if (progress)
                    std::fputc('\n', stderr);
                PrintError("play: " + m_file +
                           ": playback did not begin (no sound device, or a movie shorter "
                           "than its sound buffers)");
                status = kExitFailed;
                break;
            }
            if (*ended) {
                if (endSeen == 0)
                    endSeen = time::GetTickCount64();
                else if (time::GetTickCount64() - endSeen >= kPlayOutMs)
                    break;
            }
            ui::WaitMessage(100);
        }
        if (progress)
            std::fputc('\n', stderr);
        control.PlayStop(&ok);
        sigaction(SIGINT, &previous, nullptr);
        ui::DestroyWindow(window);
        return status;
    }

private:
    std::string m_file;
};

} // namespace

FRAMZEL_CLI_COMMAND(PlayCommand, "play", "Play a KQFF or YHAV movie with its sound");

} // namespace fz::cli
