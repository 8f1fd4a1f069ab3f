#pragma once

#include "platform/registry/HiveFile.h"
#include "platform/registry/HiveModel.h"

#include <memory>

namespace fz::registry {

// The parsed contents of a hive file, kept per file and handed out again while the file's
// identity (HiveFile.h) stays the same, so that a read costs one stat() instead of reading and
// parsing the file. Internal to the registry; any thread may call.

// The contents of the hive as its file holds them now (an empty hive when the file is missing
// or not a regular file). Readers share the result; it never changes.
std::shared_ptr<const HiveContents> LoadHive(const HiveLocation& location);

// The contents for a change under the hive's lock: read from the file (reusing the kept
// contents only when the file's bytes are the very ones they were parsed from), so that no
// writer builds on anything but the file itself.
std::shared_ptr<const HiveContents> LoadHiveForChange(const HiveLocation& location);

// After WriteHiveAtomically, still under the lock: keeps what `text` (the bytes written)
// parses to as the snapshot of the file now in place.
void RememberHive(const HiveLocation& location, std::string text);

} // namespace fz::registry
