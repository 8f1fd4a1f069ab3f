#pragma once

#include "platform/registry/Registry.h"

#include <cstdint>
#include <optional>
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

// What tells one version of a hive file from another. Every change replaces the file by a
// rename, so a new version normally has a new inode; an inode can be reused, though, and file
// times are kept only at the kernel's clock tick, so WriteHiveAtomically also gives each
// version a modification time later than its predecessor's, to the nanosecond. Together with
// the size and the change time, equal identities mean the same contents.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the hive file, or nothing when it is missing or not a regular file (a FIFO,
// a device or a folder at its path reads as an empty hive).
std::optional<FileIdentity> HiveFileIdentity(const HiveLocation& location);

// The whole file and its identity, read from one open file. A missing, unreadable or
// non-regular file reads as empty text with no identity; the file is opened without blocking
// (O_NONBLOCK) and read only when it is a regular file.
struct HiveFileText {
    std::string text;
    std::optional<FileIdentity> identity;
};
HiveFileText ReadHiveText(const HiveLocation& location);

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

// Replaces the hive file with `text`: written to "<hive file>.new" (made afresh, never a file
// that stood there), given a modification time later than the current hive's, flushed to the
// disk and renamed over the hive, so a reader sees either the old or the new file and a crash
// leaves one of them whole. (The folder is not flushed: after a crash the rename may be undone,
// which loses the last change but never the hive.) The caller holds the HiveLock. Any failure is
// kAccessDenied and leaves the hive as it was.
Status WriteHiveAtomically(const HiveLocation& location, const std::string& text);

} // namespace fz::registry
