#pragma once

#include "fzctrl/play/mpa/MpaFrameHeader.h"

#include <cstdint>

// The MPEG audio frame decoder: MPEG-1 (ISO/IEC 11172-3), MPEG-2 lower sampling frequencies
// (ISO/IEC 13818-3) and MPEG-2.5, Layers I, II and III, to 16-bit PCM.
//
// All working state is process-wide: one stream is decoded at a time, and calls must not
// overlap (the caller serialises them; the movie player plays one MPEG-audio movie at a time).
// Lifecycle: MpaInit, MpaGetInfo on any frame at any time, MpaDecodeInit with the stream's first
// frame, then MpaDecodeFrame for each frame in stream order. A new stream starts again with
// MpaInit and MpaDecodeInit. Failures return 0 and set the last error (MpaLastError).
namespace fz {

// Last-error codes.
inline constexpr int kMpaErrorNoSync = 3;        // no frame sync
inline constexpr int kMpaErrorBadHeader = 4;     // a header field out of range, a "Xing" header
                                                 // without frame and byte counts, or a frame that
                                                 // does not belong to the prepared stream
inline constexpr int kMpaErrorNotEnoughData = 5; // fewer bytes than the frame needs

// What MpaGetInfo learns from one frame: 22 signed 32-bit fields in this order.
struct MpaFrameInfo {
    mpa::MpaFrameHeader header;      // version .. emphasis
    std::int32_t outputChannels;     // 1 for single channel, else 2
    std::int32_t outputBits;         // 16
    std::int32_t outputSampleRate;   // Hz
    std::int32_t bitRate;            // bit/s; 0 when a VBR header was found
    std::int32_t vbrFrames;          // frame count of the VBR header, else 0
    std::int32_t vbrHeaderFrameSize; // bytes of the frame carrying the VBR header, else 0
    std::int32_t vbrBytes;           // stream byte count of the VBR header, else 0
    std::int32_t smallFrameSize;     // bytes of a frame without padding (VBR: at the lowest rate)
    std::int32_t largeFrameSize;     // bytes of a frame with padding (VBR: at the highest rate)
    std::int32_t pcmBytesPerFrame;   // bytes one decoded frame yields
};
static_assert(sizeof(MpaFrameInfo) == 22 * 4);

// One call of MpaDecodeFrame: 17 fields in this order. The three pointers are native 64-bit
// pointers here; the other fields are signed 32-bit.
struct MpaDecodeJob {
    mpa::MpaFrameHeader header;   // out: the frame's header fields (version .. emphasis)
    std::int32_t bitRate;         // out: bit/s
    const std::uint8_t* frame;    // in: the frame, starting at its header
    std::int32_t bytesAvailable;  // in: bytes at `frame`; out: the frame size used
    std::int16_t* pcm;            // in: where the samples go (caller's buffer)
    std::int32_t pcmBytesWritten; // out
};

enum class MpaRemember { No = 0, Yes = 1 };

// Sets the frequency limit to 24000 Hz, rate reduction and output conversion to 0 and builds
// every table. Calling it again rebuilds the tables and changes nothing else.
void MpaInit();

// Checks the 4-byte header at `frame` (the caller provides 4 bytes) and fills `header`.
// Refuses free format, reserved sampling frequencies and layers. Returns 1, or 0 with last
// error 3 (no sync) or 4 (field out of range).
int MpaParseHeader(const std::uint8_t* frame, mpa::MpaFrameHeader& header);

// Fills `info` from one frame of `length` bytes, recognising the "Xing" and "VBRI" headers.
// Reads at most the first 56 bytes and never beyond `length`. With MpaRemember::Yes it also
// stores the stream's sample rate and PCM bytes per frame for MpaDecodeFrame. Returns 1 or 0.
int MpaGetInfo(const std::uint8_t* frame, int length, MpaFrameInfo& info, MpaRemember remember);

// Prepares decoding of the stream that `firstFrame` starts: remembers its parameters, clears
// the filter history and the layer's buffers and chooses the layer decoder. Returns 1 or 0.
int MpaDecodeInit(const std::uint8_t* firstFrame, int length);

// Decodes the frame at job.frame (at most job.bytesAvailable bytes are read) into job.pcm, which
// must hold the remembered PCM bytes per frame: 16-bit samples, stereo interleaved left/right.
// A frame whose layer or PCM size differs from the prepared stream's is refused (last error 4)
// so that the caller's buffer is never overrun. A Layer III frame whose main data is missing from
// the bit reservoir still succeeds but leaves the output unchanged. Returns 1 or 0; on 0 nothing
// is written.
int MpaDecodeFrame(MpaDecodeJob& job);

// The last error set by a failing call (3, 4 or 5; 0 before the first failure).
int MpaLastError();

} // namespace fz
