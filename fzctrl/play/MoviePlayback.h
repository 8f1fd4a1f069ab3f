#pragma once

#include "fzctrl/play/CMoviePlayer.h"
#include "fzctrl/play/CPreviewDrawer.h"
#include "fzctrl/play/MovieFormatProbe.h"
#include "platform/ui/Window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace fz {

// The preview window and rectangle last passed to SetPreviewWindow, stored as passed.
struct PreviewTarget {
    ui::WindowHandle window = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The engine's playback: the player, the preview drawer that the frames are drawn with, and
// the preview target. Owned by CMovieEngine for its whole life; every call on the control's
// thread. Destruction closes the player.
class MoviePlayback {
public:
    MoviePlayback();
    ~MoviePlayback();
    MoviePlayback(const MoviePlayback&) = delete;
    MoviePlayback& operator=(const MoviePlayback&) = delete;

    // Takes effect for playback at the next play start.
    void SetPreviewTarget(const PreviewTarget& target) { m_target = target; }
    const PreviewTarget& Target() const { return m_target; }

    // Plays a KQFF or YHAV movie into the preview target. False when the path has 3 characters
    // or fewer, the file is neither movie kind by its first four bytes, the format query fails,
    // or the player cannot open it. A play start while a movie is open keeps that movie playing
    // untouched and reports true.
    bool PlayStart(const std::string& hostPath);
    // Closes the player, then the drawer. Nothing open: nothing happens.
    void PlayStop();

    bool IsPlaying() const { return m_player.GetState() == kPlayerPlaying; }
    std::uint32_t TotalTime() const { return m_player.GetTotalTime(); }
    std::uint32_t CurrentTime() const { return m_player.GetCurrentTime(); }
    const CMoviePlayer& Player() const { return m_player; }

private:
    // Shared with the player's frame callback, so that a frame the audio thread is still
    // drawing never outlives its drawer.
    std::shared_ptr<CPreviewDrawer> m_drawer;
    CMoviePlayer m_player;
    PreviewTarget m_target;
};

} // namespace fz
