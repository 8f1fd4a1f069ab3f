#pragma once

#include "platform/fs/MappedFile.h"

#include <cstdint>
#include <string>

namespace fz {

// A read-only view of a whole existing, non-empty file. The engine reads its temporary JPEG
// frame stream and YHAV movies through it, and CWaveFileHandler the temporary WAV files.
// The pointer handed out stays valid until Close(), the next Open() or destruction. One
// thread at a time.
class CMemoryMapper {
public:
    CMemoryMapper() = default;
    virtual ~CMemoryMapper();
    CMemoryMapper(const CMemoryMapper&) = delete;
    CMemoryMapper& operator=(const CMemoryMapper&) = delete;

    // Closes whatever is open and maps the file at `path` (host form). False when the file is
    // missing, empty, not a regular file, cannot be mapped, or is 4 GiB or longer (the size is
    // a 32-bit count, and a view that long never fitted the engine's address space).
    bool Open(const std::string& path);

    // Releases the view and the file; Data() is null and Size() 0. Safe to call repeatedly.
    void Close();

    const std::uint8_t* Data() const { return m_file.Data(); }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(m_file.Size()); }

private:
    fs::MappedFile m_file;
};

} // namespace fz
