#pragma once

#include <cstdint>
#include <string>

namespace fz::fs {

// File attributes with the platform's bit values, so that engine code can compare them as it
// always has (a source is refused when its attributes are exactly kFileAttributeDirectory).
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// The attributes of a file or folder, following symbolic links:
//   a folder                      kFileAttributeDirectory (never combined with read-only)
//   a file this user cannot write kFileAttributeReadOnly
//   any other file                kFileAttributeNormal
// kFileAttributeHidden is added for names that begin with '.'. A path that does not exist (or
// cannot be examined) gives kInvalidFileAttributes.
std::uint32_t GetFileAttributes(const std::string& hostPath);

} // namespace fz::fs
