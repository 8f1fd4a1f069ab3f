#pragma once

#include "fzctrl/play/PlaybackSession.h"
#include "platform/ui/Window.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace fz {

// Open codes.
inline constexpr int kOpenOk = 0;
inline constexpr int kOpenCannotMap = 1;      // missing, unreadable, empty, or not mappable
inline constexpr int kOpenNotPlayable = 2;    // any failed check of the movie's layout
inline constexpr int kOpenOutOfMemory = 4;    // a buffer could not be allocated
inline constexpr int kOpenOtherAudioKind = 5; // KQFF with an audio kind other than 0 and 255

// The end-of-movie message (WM_USER + 100), both parameters 0, sent synchronously by the audio
// thread to the notify window when the movie's sound is used up.
inline constexpr std::uint32_t kEndOfMovieMessage = 0x464;

// Plays one KQFF or YHAV movie at a time: the sound to the wave-out device through eight
// buffers that an audio thread refills one decode step at a time, the pictures to the frame
// callback, paced by the sound's decode position (the play clock). No seeking, no pause.
//
// Threads: Open, Start, Stop, Close, the setters and the getters run on the control's thread. The
// frame callback runs on the audio thread, and on the control's thread during the prefill of Start;
// the end-of-movie message is sent from the audio thread. Start, Stop and Close hold the
// process-wide player lock; the audio thread never takes it.
class CMoviePlayer {
public:
    CMoviePlayer() = default;
    ~CMoviePlayer();
    CMoviePlayer(const CMoviePlayer&) = delete;
    CMoviePlayer& operator=(const CMoviePlayer&) = delete;

    // Maps the movie, checks its layout, allocates the buffers, starts the audio thread and
    // opens the sound device; one of the open codes. A device that cannot be opened still gives
    // kOpenOk (Start then queues nothing). A player that holds a movie already keeps it
    // untouched and answers kOpenOk. `hostPath` is a host path.
    int Open(const std::string& hostPath);

    void SetNotifyWindow(ui::WindowHandle window);
    void SetFrameCallback(MovieFrameCallback callback);

    // Queues the first eight buffers (decoding on the calling thread) and enters *playing* when
    // all eight were queued. Does nothing unless the player is open.
    void Start();
    // Ends the audio thread (waiting at most 1000 ms), resets the device: back to *open*.
    void Stop();
    // Stops if needed and releases the device, the buffers and the file: *closed*. The current
    // time becomes 0; the total time keeps the last movie's value.
    void Close();

    int GetState() const;
    // How many of the eight sound buffers are with the device (queued or being refilled) now.
    int BuffersAtDevice() const;
    std::uint32_t GetTotalTime() const { return m_totalTime.load(); }
    std::uint32_t GetCurrentTime() const;

private:
    int OpenMovie(const std::string& hostPath, PlaybackSession& session);
    void StopLocked();

    std::shared_ptr<PlaybackSession> m_session;
    std::thread m_thread;
    ui::WindowHandle m_notifyWindow = 0;
    MovieFrameCallback m_frameCallback;
    std::atomic<std::uint32_t> m_totalTime{0};
};

} // namespace fz
