#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace fz {

// A temporary file of the player or the format query in drive C:, created exclusively (mode
// 0600) under a name that holds the process id and a counter of the process, so that two
// players, two controls or two processes never share one. The stem is the kind of file:
// "fztmp.jpg" for a frame, "fztempjpeg.jpg" for the format query's picture.
//
// Create() writes all `size` bytes and closes the file; nothing (and no file left behind) when
// drive C: is refused or the file cannot be created or written. The destructor deletes the file.
// Writing uses write(2), so bytes from a movie mapping whose file was cut short make the write
// fail rather than fault. Any thread.
class PlayTempFile {
public:
    static std::optional<PlayTempFile> Create(const char* stem, const std::uint8_t* bytes,
                                              std::size_t size);
    ~PlayTempFile();
    PlayTempFile(PlayTempFile&& other) noexcept;
    PlayTempFile& operator=(PlayTempFile&&) = delete;
    PlayTempFile(const PlayTempFile&) = delete;
    PlayTempFile& operator=(const PlayTempFile&) = delete;

    const std::string& Path() const { return m_path; }

private:
    explicit PlayTempFile(std::string path)
        : m_path(std::move(path)) {}
    std::string m_path;
};

} // namespace fz
