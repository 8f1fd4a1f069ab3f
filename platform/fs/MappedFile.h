#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fz::fs {

// A read-only view of a whole existing, non-empty regular file, mapped (not read) into memory.
// The view stays valid until Close(), another Open() or destruction. One thread at a time.
//
// The file must not be truncated by anyone while it is mapped: the pages past the new end
// would no longer be backed. The engine maps only its own temporary files and the movies the
// user chose, which nobody shortens under it.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;

    // Closes whatever is open, then maps the file. False (and closed) when the path is missing,
    // not a regular file, empty, or cannot be opened or mapped.
    bool Open(const std::string& hostPath);

    // Unmaps the view and closes the file; Data() is null and Size() 0 afterwards. Safe to
    // call repeatedly.
    void Close();

    const std::uint8_t* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }
    bool IsOpen() const { return m_data != nullptr; }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    int m_fd = -1;
};

} // namespace fz::fs
