#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fz::fs {

// Drive C: is one private folder of the user: $FRAMZEL_DRIVE_C when set, otherwise
// ${TMPDIR:-/tmp}/framzel-UID/. It is created with mode 0700 on first use and refused when
// it is a symbolic link, not a folder, or belongs to another user.
//
// Returns the folder in host form, always ending in '/', or nothing when it is refused or
// cannot be created. The environment is read on every call (tests move it).
std::optional<std::string> DriveCFolder();

// Maps a path of the engine to host form: a path that starts with a drive root ("C:\" or
// "c:\", also with '/') names a file in drive C:, and every '\' becomes '/'. Other paths only
// have their separators turned. When drive C: is refused, a drive path maps to an empty string
// so that no caller writes to an unintended place.
std::string HostPath(std::string_view enginePath);

// True when the path begins with the drive root "C:\" (either case, either separator).
bool IsDriveCPath(std::string_view enginePath);

} // namespace fz::fs
