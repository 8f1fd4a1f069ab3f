#pragma once

#include <string>

namespace fz::fs {

// Deletes one file (never a folder). True when it was removed.
bool DeleteFile(const std::string& hostPath);

// The process's current directory in host form, without a trailing '/' (except "/" itself);
// empty when it cannot be determined (for example when it was removed).
std::string GetCurrentDirectory();

// Changes the process's current directory. True on success. The current directory is shared by
// every thread of the process: only the program's window thread changes it.
bool SetCurrentDirectory(const std::string& hostPath);

} // namespace fz::fs
