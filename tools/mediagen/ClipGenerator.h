#pragma once

// fzmediagen: writes short test sources with FFmpeg's own encoders (libavformat/libavcodec), so
// that tests, benchmarks and the README's sample clip never need a downloaded file.
//
// A clip shows a test pattern whose frames differ visibly (a bar moving across a colour ramp, and
// the frame number in binary as white cells in a black band along the bottom) and carries a
// sine tone in every channel. An optional marker makes one frame entirely white and puts a
// full-scale click into the sound at that frame's start time, so a test can check that pictures
// and sound stay aligned end to end.
//
// Everything here runs on the caller's thread; nothing is shared between calls.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace fz::mediagen {

// The kinds of source the tests need: container, video codec, sound codec and sound format.
enum class ClipKind {
    AviMpeg4Mp3,         // AVI, MPEG-4 part 2 + MP3 stereo 44100 Hz
    AviMsmpeg4v2Pcm8,    // AVI, MS-MPEG-4 v2 + 8-bit PCM mono 11025 Hz
    Mpeg1System,         // MPEG-1 system stream, MPEG-1 video + MPEG audio layer II stereo 44100 Hz
    AsfWmv2Wmav2,        // ASF, WMV 8 + WMA 2 stereo 44100 Hz
    WmvWmv1Wmav1,        // WMV (ASF), WMV 7 + WMA 1 stereo 44100 Hz
    AviMpeg4Ac3Surround, // AVI, MPEG-4 part 2 + AC-3 5.1 48000 Hz
    AviVideoOnly,        // AVI, MPEG-4 part 2, no sound
    AviAudioOnly,        // AVI, MP3 stereo 44100 Hz, no pictures
};

// What a kind is made of. Codec and format names are FFmpeg's (avcodec/avformat names), so a
// reader can compare them with what libavformat reports; an empty codec name means no stream.
struct ClipKindInfo {
    ClipKind kind;
    std::string_view name;       // command-line name, e.g. "avi-mpeg4-mp3"
    std::string_view extension;  // file extension without the dot: "avi", "mpg", "asf", "wmv"
    std::string_view muxer;      // libavformat output format
    std::string_view videoCodec; // decoder name as libavformat reports it ("mpeg4", "wmv2"...)
    std::string_view audioCodec; // decoder name ("mp3", "pcm_u8", "mp2", "wmav2", "ac3"...)
    int sampleRate;              // Hz; 0 without sound
    int channels;                // 0 without sound
    int bitsPerSample;           // 8 for 8-bit PCM, else 16 (what a PCM decoder would give)
};

const ClipKindInfo& KindInfo(ClipKind kind);
std::optional<ClipKind> KindFromName(std::string_view name);
// Every kind, in the order of the enumeration.
const ClipKindInfo* AllKinds(std::size_t* count);

struct ClipOptions {
    ClipKind kind = ClipKind::AviMpeg4Mp3;
    double durationSeconds = 2.0;
    int width = 320;  // even
    int height = 240; // even
    // Pictures per second as a fraction; MPEG-1 accepts only its standard rates (24, 25, 30,
    // 50, 60 and the 1000/1001 ones).
    int frameRateNum = 25;
    int frameRateDen = 1;
    double toneHz = 1000.0;
    double toneAmplitude = 0.25; // of full scale, so the click stands out
    // Marker ("flash + click"): when set, the picture whose interval holds this time is white
    // and a 2-ms full-scale click starts at that picture's start time.
    std::optional<double> markerSeconds;
    // A key frame every this many pictures (0: one per second).
    int keyFrameInterval = 0;
    // Video bit rate in bits per second (0: chosen from the picture size and rate).
    std::int64_t videoBitRate = 0;
};

// Writes the clip to `path` (replacing it). Returns true on success; on failure returns false,
// removes any partial file and, when `error` is given, says why in one line.
bool WriteClip(const std::filesystem::path& path, const ClipOptions& options,
               std::string* error = nullptr);

// The picture index of the marker frame, or -1 without a marker.
std::int64_t MarkerFrameIndex(const ClipOptions& options);
// Number of pictures a clip of these options holds (duration × rate, rounded).
std::int64_t FrameCount(const ClipOptions& options);

// Reads back the frame number that the pattern drew into a decoded 32-bit picture (bytes blue,
// green, red, unused; rows `stride` bytes apart, bottom row first when `bottomUp`). Returns
// nothing when the band does not hold a clean pattern (a white marker frame, a damaged picture).
std::optional<std::int64_t> ReadFrameNumber(const std::uint8_t* pixels, int width, int height,
                                            std::ptrdiff_t stride, bool bottomUp);
// True when at least 95% of the picture is near white (the marker frame).
bool IsWhitePicture(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride);

} // namespace fz::mediagen
