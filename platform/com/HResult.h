#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fz::com {

// The platform's 32-bit result code: bit 31 set means failure. The values are the platform's
// own (facts that carry over); the names stay the platform's so that the engine's code reads
// as it would on the original platform. Later areas add their facility's codes (dispatch, type
// library, media) in headers of their own.
using HRESULT = std::int32_t;

namespace detail {
constexpr HRESULT Code(std::uint32_t value) {
    return static_cast<HRESULT>(value);
}
} // namespace detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_NOTIMPL = detail::Code(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = detail::Code(0x80004002);
inline constexpr HRESULT E_POINTER = detail::Code(0x80004003);
inline constexpr HRESULT E_ABORT = detail::Code(0x80004004);
inline constexpr HRESULT E_FAIL = detail::Code(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = detail::Code(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = detail::Code(0x80070005);
inline constexpr HRESULT E_HANDLE = detail::Code(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = detail::Code(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = detail::Code(0x80070057);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = detail::Code(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = detail::Code(0x80040111);

inline constexpr HRESULT REGDB_E_READREGDB = detail::Code(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = detail::Code(0x80040151);
inline constexpr HRESULT REGDB_E_KEYMISSING = detail::Code(0x80040152);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = detail::Code(0x80040154);
inline constexpr HRESULT REGDB_E_IIDNOTREG = detail::Code(0x80040155);

inline constexpr HRESULT SELFREG_E_TYPELIB = detail::Code(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = detail::Code(0x80040201);

inline constexpr HRESULT CO_E_NOTINITIALIZED = detail::Code(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = detail::Code(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = detail::Code(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = detail::Code(0x800401F9);

constexpr bool Succeeded(HRESULT result) {
    return result >= 0;
}
constexpr bool Failed(HRESULT result) {
    return result < 0;
}

// A platform error number (as the registry returns) in result form: 0 stays S_OK, others
// become 0x8007xxxx.
constexpr HRESULT HResultFromWin32(std::uint32_t error) {
    return error == 0 ? S_OK : detail::Code((error & 0xFFFF) | 0x80070000u);
}

// The name of a code listed above ("E_FAIL"), or an empty view for other codes.
std::string_view ResultName(HRESULT result);

// "0x80004005 (E_FAIL)", or only the number for codes without a name here; for messages.
std::string FormatResult(HRESULT result);

} // namespace fz::com
