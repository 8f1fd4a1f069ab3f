#pragma once

#include "platform/com/HResult.h"

#include <cstdint>

namespace fz::media {

using com::HRESULT;

// Times inside the graph: 100-ns units. Sample times are positions in the source, from 0.
using REFERENCE_TIME = std::int64_t;
inline constexpr REFERENCE_TIME kUnitsPerMs = 10000;
inline constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

// Result codes of the media graph; the values are the platform's own.
namespace detail {
constexpr HRESULT Code(std::uint32_t value) {
    return static_cast<HRESULT>(value);
}
} // namespace detail

inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = detail::Code(0x00040103);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = detail::Code(0x00040237);
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = detail::Code(0x00040242);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = detail::Code(0x00040270);

inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = detail::Code(0x80040200);
inline constexpr HRESULT VFW_E_NEED_OWNER = detail::Code(0x80040202);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = detail::Code(0x80040204);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = detail::Code(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = detail::Code(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = detail::Code(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = detail::Code(0x8004020A);
inline constexpr HRESULT VFW_E_BUFFER_NOTSET = detail::Code(0x8004020C);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = detail::Code(0x8004020D);
inline constexpr HRESULT VFW_E_BADALIGN = detail::Code(0x8004020E);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = detail::Code(0x8004020F);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = detail::Code(0x80040210);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = detail::Code(0x80040211);
inline constexpr HRESULT VFW_E_SIZENOTSET = detail::Code(0x80040212);
inline constexpr HRESULT VFW_E_NO_CLOCK = detail::Code(0x80040213);
inline constexpr HRESULT VFW_E_NOT_FOUND = detail::Code(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = detail::Code(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = detail::Code(0x80040218);
inline constexpr HRESULT VFW_E_NOT_STOPPED = detail::Code(0x80040224);
inline constexpr HRESULT VFW_E_WRONG_STATE = detail::Code(0x80040227);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = detail::Code(0x8004022A);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED = detail::Code(0x8004022B);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = detail::Code(0x8004022C);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = detail::Code(0x8004022D);
inline constexpr HRESULT VFW_E_TIMEOUT = detail::Code(0x8004022E);
inline constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = detail::Code(0x80040240);
inline constexpr HRESULT VFW_E_CANNOT_LOAD_SOURCE_FILTER = detail::Code(0x80040241);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = detail::Code(0x80040249);
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = detail::Code(0x80040251);
inline constexpr HRESULT VFW_E_NO_TIME_FORMAT_SET = detail::Code(0x80040252);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = detail::Code(0x80040265);

// Event codes a filter sends to the graph (IMediaEventSink::Notify) and the application reads
// (IMediaEvent).
inline constexpr long EC_COMPLETE = 0x01; // every renderer has seen the end of its stream
inline constexpr long EC_USERABORT = 0x02;
inline constexpr long EC_ERRORABORT = 0x03; // param1: the failure code; streaming stopped
inline constexpr long EC_TIME = 0x04;
inline constexpr long EC_REPAINT = 0x05;
inline constexpr long EC_STREAM_ERROR_STOPPED = 0x06;
inline constexpr long EC_STREAM_ERROR_STILLPLAYING = 0x07;
inline constexpr long EC_ERROR_STILLPLAYING = 0x08;
inline constexpr long EC_PALETTE_CHANGED = 0x09;
inline constexpr long EC_VIDEO_SIZE_CHANGED = 0x0A;
inline constexpr long EC_QUALITY_CHANGE = 0x0B;
inline constexpr long EC_SHUTTING_DOWN = 0x0C;
inline constexpr long EC_CLOCK_CHANGED = 0x0D;
inline constexpr long EC_PAUSED = 0x0E;

// Automation-style values of the graph's application interfaces.
using OAFilterState = long;
using OAHWND = std::intptr_t; // a window handle (platform/ui)
using OAEVENT = std::intptr_t;
inline constexpr long OATRUE = -1;
inline constexpr long OAFALSE = 0;

// The platform's window styles used with IVideoWindow::put_WindowStyle.
inline constexpr long WS_CHILD = 0x40000000;
inline constexpr long WS_CLIPSIBLINGS = 0x04000000;
inline constexpr long WS_CLIPCHILDREN = 0x02000000;
inline constexpr long WS_VISIBLE = 0x10000000;
inline constexpr long WS_OVERLAPPEDWINDOW = 0x00CF0000;

} // namespace fz::media
