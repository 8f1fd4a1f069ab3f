#pragma once

#include <cstdint>

namespace fz::audio {

// Waveform audio output in the platform's shape: open a device for a PCM format, prepare
// buffers, write them, and be called back when each buffer has played. The sound goes to the
// backend that FRAMZEL_AUDIO names:
//   alsa[:DEVICE]  (the default) ALSA's PCM device DEVICE, else "default". A missing or busy
//                  sound card fails the open (MMSYSERR_NODRIVER / MMSYSERR_ALLOCATED); no
//                  call waits on the card without a bound.
//   null           silent, paced in real time like a device
//   file:PATH      paced like null, and writes what it plays to the WAVE file PATH (PCM in the
//                  opened format; the header is completed at close)
// An unknown value fails every open with MMSYSERR_NODRIVER.
//
// Threads: any thread may call these functions; calls on one device are serialised inside.
// Each open device has a thread of its own that feeds the backend and calls the callback.
// Buffers play in the order they were written, and their kWomDone callbacks come in the same
// order, each after the buffer's last sample has been played (heard, within the backend's
// reporting granularity). The callback runs without any lock of the device held; it may call
// WaveOutWrite and the other functions, except WaveOutClose and WaveOutReset of its own device,
// which would wait for the callback itself: called from it they answer MMSYSERR_ERROR.
//
// Buffers: the caller owns every header and its data; both must stay valid and unchanged from
// WaveOutWrite until the header comes back done (kWhdrDone set, kWhdrInQueue clear).

using MMRESULT = std::uint32_t;

// Result codes; the numbers are the platform's.
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

// Device identifiers and open flags; the numbers are the platform's.
inline constexpr std::uint32_t kWaveMapper = 0xFFFFFFFF;  // the default device
inline constexpr std::uint32_t kWaveFormatQuery = 0x0001; // only check that the format plays
inline constexpr std::uint32_t kCallbackNull = 0x00000000;
inline constexpr std::uint32_t kCallbackFunction = 0x00030000;

// Callback notifications; the numbers are the platform's.
inline constexpr std::uint32_t kWomOpen = 0x3BB;
inline constexpr std::uint32_t kWomClose = 0x3BC;
inline constexpr std::uint32_t kWomDone = 0x3BD;

// Header flags; the numbers are the platform's.
inline constexpr std::uint32_t kWhdrDone = 0x01;
inline constexpr std::uint32_t kWhdrPrepared = 0x02;
inline constexpr std::uint32_t kWhdrBeginLoop = 0x04; // loops are not supported: ignored
inline constexpr std::uint32_t kWhdrEndLoop = 0x08;
inline constexpr std::uint32_t kWhdrInQueue = 0x10;

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// The PCM format record: PCM only, 8 bits (unsigned) or 16 bits (signed, little-endian),
// 1 or 2 channels, 1 to 384000 samples per second, blockAlign = channels × bits / 8.
// avgBytesPerSec is informational (the device uses rate × blockAlign).
struct WaveFormat {
    std::uint16_t formatTag = kWaveFormatPcm;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};

// A buffer header. `data` and `bufferLength` are set by the caller; `user` is the caller's;
// `flags` belong to the device between prepare and unprepare.
struct WaveHeader {
    std::uint8_t* data = nullptr;
    std::uint32_t bufferLength = 0; // bytes to play; a partial sample frame at the end is dropped
    std::uint32_t bytesRecorded = 0;
    std::uintptr_t user = 0;
    std::uint32_t flags = 0;
    std::uint32_t loops = 0;
    WaveHeader* next = nullptr; // the device's
    std::uintptr_t reserved = 0;
};

struct WaveOutDevice;
using HWAVEOUT = WaveOutDevice*;

// The callback, for kCallbackFunction: device, notification, the instance given at open, and
// for kWomDone the header (as std::uintptr_t) in param1. Runs on the device's thread, except
// kWomOpen (inside WaveOutOpen), kWomClose (inside WaveOutClose) and the kWomDone of buffers
// that WaveOutReset returns (inside WaveOutReset, before it returns).
using WaveOutProc = void (*)(HWAVEOUT device, std::uint32_t message, std::uintptr_t instance,
                             std::uintptr_t param1, std::uintptr_t param2);

// Opens the device for `format`. deviceId: kWaveMapper or 0 (the one device of the chosen
// backend); others give MMSYSERR_BADDEVICEID. flags: kCallbackFunction (callback and instance
// used) or kCallbackNull, optionally with kWaveFormatQuery (checks the format, opens nothing,
// *device may be null). An unsupported format gives WAVERR_BADFORMAT.
MMRESULT WaveOutOpen(HWAVEOUT* device, std::uint32_t deviceId, const WaveFormat* format,
                     WaveOutProc callback, std::uintptr_t instance, std::uint32_t flags);

// Marks a header prepared (kWhdrPrepared; kWhdrDone cleared). A null data pointer with a
// non-zero length is MMSYSERR_INVALPARAM. Preparing a prepared header is a no-op.
MMRESULT WaveOutPrepareHeader(HWAVEOUT device, WaveHeader* header, std::uint32_t headerSize);

// Clears kWhdrPrepared; WAVERR_STILLPLAYING while the header is queued.
MMRESULT WaveOutUnprepareHeader(HWAVEOUT device, WaveHeader* header, std::uint32_t headerSize);

// Queues a prepared header for playing (kWhdrInQueue set, kWhdrDone cleared). An unprepared
// header gives WAVERR_UNPREPARED; one already queued MMSYSERR_INVALPARAM. Playing starts with
// the first write (unless the device is paused).
MMRESULT WaveOutWrite(HWAVEOUT device, WaveHeader* header, std::uint32_t headerSize);

// Pause stops playing where it is (queued buffers stay queued); Restart goes on.
MMRESULT WaveOutPause(HWAVEOUT device);
MMRESULT WaveOutRestart(HWAVEOUT device);

// Stops playing, drops what the backend holds, and returns every queued buffer done (kWomDone
// for each, in queue order, before this returns); the position goes back to 0. A paused
// device stays paused.
MMRESULT WaveOutReset(HWAVEOUT device);

// Closes the device: WAVERR_STILLPLAYING while buffers are queued (reset first). The handle is
// invalid afterwards (later calls with it give MMSYSERR_INVALHANDLE).
MMRESULT WaveOutClose(HWAVEOUT device);

// Bytes played since the open or the last reset (the sound actually heard, not the bytes
// written): the position the sound renderer's clock follows.
MMRESULT WaveOutGetPosition(HWAVEOUT device, std::uint64_t* bytesPlayed);

} // namespace fz::audio
