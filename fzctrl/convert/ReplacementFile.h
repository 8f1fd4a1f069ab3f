#pragma once

#include <cstdio>
#include <string>

namespace fz {

// A file that replaces `target` only once it is complete: it is written under a unique
// temporary name in the target's folder and renamed over the target by Commit(). Until then
// a file already at the target path is untouched, and a ReplacementFile destroyed without a
// successful Commit() removes its temporary file, so a failed or interrupted writer leaves
// nothing behind. The new file gets the usual permissions (0666 less the umask).
//
// One thread; the FILE* belongs to this object.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the temporary file beside `targetHostPath` (in the current directory when the
    // path has no folder). False when it cannot be created.
    bool Create(const std::string& targetHostPath);

    std::FILE* Stream() const { return m_stream; }
    const std::string& TemporaryPath() const { return m_temporaryPath; }

    // Flushes, syncs and closes the stream, checking each, then renames the temporary file
    // over the target. False (and the temporary file removed) when any of that fails.
    bool Commit();

    // Closes and removes the temporary file; the target stays as it was.
    void Abandon();

private:
    std::FILE* m_stream = nullptr;
    std::string m_temporaryPath;
    std::string m_targetPath;
};

// A scratch file of the engine in drive C:, with a name no other conversion (in this or any
// other process) uses at the same time: `prefix` followed by a unique suffix. Created empty
// with mode 0600; removed when the object goes, whatever happened.
class DriveCScratchFile {
public:
    DriveCScratchFile() = default;
    ~DriveCScratchFile();
    DriveCScratchFile(const DriveCScratchFile&) = delete;
    DriveCScratchFile& operator=(const DriveCScratchFile&) = delete;

    // False when drive C: is refused or the file cannot be created.
    bool Create(const char* prefix);

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Writes all `size` bytes; false on a short write or an error.
bool WriteAll(std::FILE* stream, const void* data, std::size_t size);

} // namespace fz
