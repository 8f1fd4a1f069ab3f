#pragma once

#include "platform/avifile/AviHeaders.h"

#include <string>

namespace fz::avifile {

// Reads the headers of an AVI file: the RIFF "AVI " form, its "hdrl" list with the main header
// and one stream list per stream. Stands in for the platform's AVI file library as far as the
// format query needs it: the file information, the streams by type and index, and each stream's
// start and format. Only headers are read (never the movie data); the file is closed again
// before Open returns. Any thread; one object per thread.
//
// Every size is checked against the file: a RIFF size that claims more than the file holds is
// cut to the file (a recording that was cut short still has its headers), but the "hdrl" list
// itself must lie wholly inside the file and be at most kMaxHeaderListBytes long.
class AviFile {
public:
    static constexpr std::size_t kMaxHeaderListBytes = 16u << 20;

    // Reads the headers of the file at `hostPath`; AviError::None on success.
    AviError Open(const std::string& hostPath);

    const AviFileInfo& Info() const { return m_headers.file; }
    const std::vector<AviStreamInfo>& Streams() const { return m_headers.streams; }

    // The index-th stream (0 first) of the given type, or null.
    const AviStreamInfo* GetStream(std::uint32_t type, int index) const;

    // Copies at most `capacity` bytes of the stream's format into `out` and returns how many
    // were copied (formats longer than the capacity come back cut to it).
    static std::size_t ReadFormat(const AviStreamInfo& stream, void* out, std::size_t capacity);

private:
    AviHeaders m_headers;
};

} // namespace fz::avifile
