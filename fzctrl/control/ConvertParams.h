#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace fz {

inline constexpr std::size_t kTempPathSize = 260; // bytes, terminator included

// The conversion parameter record. The program fills it and hands its address to the control
// (ConvertSetParam, GetConfig, SetConfig); the control copies from it or into it during the call
// and keeps no pointer. The layout is a binary interface between the program and the engine:
// 81 little-endian 32-bit fields, no padding, 324 bytes.
//
// The result fields are written only into the engine's own copies (the control's record and the
// snapshot taken when a conversion starts); they never flow back into the caller's record.
struct ConvertParams {
    std::int32_t width;      // target picture width, pixels
    std::int32_t height;     // target picture height, pixels
    std::int32_t framerate;  // frame-rate setting; the video filter is given framerate + 0.01
    std::int32_t rotate;     // picture rotation, degrees: 0, 90, 180 or 270
    std::int32_t fixed;      // fixed image scale, 0 or 1
    std::int32_t samplerate; // audio sample rate requested from the audio filter, Hz
    std::int32_t bitrate;    // audio bit rate, bits per second
    std::int32_t channels;   // audio channel count, 1 or 2

    // Results written by the engine.
    std::int32_t largestFrame;        // largest JPEG image of the frame file + 2, bytes
    std::int32_t deliveredSampleRate; // the audio filter's rate after the graph runs, Hz
    std::int32_t deliveredChannels;   // the audio filter's channel count after the graph runs
    std::int32_t videoStartOffsetMs;  // the video filter's start offset
    std::int32_t audioLengthMs;       // length of the recorded sound

    std::int32_t audiocodec;       // audio codec selector; set to 0 by the control, read by nobody
    std::int32_t jpegformat;       // 0 the library JPEG path, 1 the YUV422 JPEG encoder
    std::int32_t quality;          // JPEG quality
    char temp_path[kTempPathSize]; // temporary folder, zero-terminated, host form
};

static_assert(std::endian::native == std::endian::little,
              "the record's fields are little-endian in memory");
static_assert(offsetof(ConvertParams, width) == 0);
static_assert(offsetof(ConvertParams, height) == 4);
static_assert(offsetof(ConvertParams, framerate) == 8);
static_assert(offsetof(ConvertParams, rotate) == 12);
static_assert(offsetof(ConvertParams, fixed) == 16);
static_assert(offsetof(ConvertParams, samplerate) == 20);
static_assert(offsetof(ConvertParams, bitrate) == 24);
static_assert(offsetof(ConvertParams, channels) == 28);
static_assert(offsetof(ConvertParams, largestFrame) == 32);
static_assert(offsetof(ConvertParams, deliveredSampleRate) == 36);
static_assert(offsetof(ConvertParams, deliveredChannels) == 40);
static_assert(offsetof(ConvertParams, videoStartOffsetMs) == 44);
static_assert(offsetof(ConvertParams, audioLengthMs) == 48);
static_assert(offsetof(ConvertParams, audiocodec) == 52);
static_assert(offsetof(ConvertParams, jpegformat) == 56);
static_assert(offsetof(ConvertParams, quality) == 60);
static_assert(offsetof(ConvertParams, temp_path) == 64);
static_assert(sizeof(ConvertParams) == 324);
static_assert(sizeof(ConvertParams) == 81 * sizeof(std::int32_t));
static_assert(alignof(ConvertParams) == alignof(std::int32_t));

} // namespace fz
