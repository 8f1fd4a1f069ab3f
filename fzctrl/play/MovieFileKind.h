#pragma once

#include <string>

namespace fz {

// The quick tests of the player and the format query: true when the file's first four bytes
// equal "KQFF" (or "YHAV"), ignoring letter case. A file that cannot be opened or holds fewer
// than four bytes gives false. `hostPath` is a host path. Any thread.
bool IsKqffFile(const std::string& hostPath);
bool IsYhavFile(const std::string& hostPath);

} // namespace fz
