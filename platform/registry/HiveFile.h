#pragma once

#include "platform/registry/Registry.h"

#include <string>

namespace fz::registry {

// Where a hive lives and how its file is read, locked and replaced. Internal to the registry.
struct HiveLocation {
    std::string folder; // without a trailing '/'; empty when it cannot be found
    std::string file;   // folder + "/user.reg" or "/machine.reg"
    std::string name;   // "user" or "machine"
    std::string prefix; // the path of the key that stands for the hive's root in the file
};

// HKEY_CLASSES_ROOT is the machine hive's "Software\Classes".
HiveLocation LocateHive(Hive hive);

// The whole file; a missing or unreadable file reads as empty text.
std::string ReadHiveText(const HiveLocation& location);

// An exclusive lock on the hive, held by an flock on "<hive file>.lock" beside it. The lock
// file is never removed (removing it would let two writers lock different files). Each
// HiveLock opens the lock file itself, so it excludes other threads of this process as well as
// other processes. Acquire creates a missing hive folder; any failure to create the folder or
// the lock file is kAccessDenied.
class HiveLock {
public:
    HiveLock() = default;
    ~HiveLock();
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    Status Acquire(const HiveLocation& location);

private:
    int m_fd = -1;
};

// Replaces the hive file with `text`: written to "<hive file>.new", flushed to the disk and
// renamed over the hive, so a reader sees either the old or the new file and a crash leaves
// one of them whole. (The folder is not flushed: after a crash the rename may be undone, which
// loses the last change but never the hive.) The caller holds the HiveLock. Any failure is
// kAccessDenied and leaves the hive as it was.
Status WriteHiveAtomically(const HiveLocation& location, const std::string& text);

} // namespace fz::registry
