#pragma once

#include "platform/audio/WaveOut.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace fz::audio {

// What a wave-out backend does for the device layer (WaveOut.cpp). The device's own thread
// makes every call except construction and destruction, never two at once; no call may block
// for more than a few milliseconds. Counts are sample frames (one sample of every channel).
class WaveOutBackend {
public:
    virtual ~WaveOutBackend() = default;

    // Takes up to `frames` frames of `data` (interleaved, in the opened format) without
    // waiting: the frames taken (0 when the device is full), or -1 when the device failed for
    // good (a card pulled out); the device layer then treats everything as played.
    virtual long Write(const std::uint8_t* data, std::size_t frames) = 0;

    // Nothing more is waiting to be written: play what is held even if it is little.
    virtual void Flush() = 0;

    // Frames played so far (heard), counted since the backend opened or the last Drop; never
    // more than the frames written, never going back.
    virtual std::uint64_t PlayedFrames() = 0;

    // Stops and resumes playing where it is.
    virtual void Pause() = 0;
    virtual void Resume() = 0;

    // Drops every frame not yet played; both counts restart at 0. Keeps the paused state.
    virtual void Drop() = 0;
};

// Checks that the format is one the device plays (see WaveFormat): MMSYSERR_NOERROR or
// WAVERR_BADFORMAT.
MMRESULT CheckWaveFormat(const WaveFormat& format);

// Opens the backend FRAMZEL_AUDIO names for `format` (already checked); null with the reason
// in `error` when it cannot.
std::unique_ptr<WaveOutBackend> OpenWaveOutBackend(const WaveFormat& format, MMRESULT* error);

// One per backend file.
std::unique_ptr<WaveOutBackend> OpenNullWaveOut(const WaveFormat& format);
std::unique_ptr<WaveOutBackend> OpenFileWaveOut(const WaveFormat& format, const std::string& path,
                                                MMRESULT* error);
std::unique_ptr<WaveOutBackend> OpenAlsaWaveOut(const WaveFormat& format, const std::string& device,
                                                MMRESULT* error);

} // namespace fz::audio
