#pragma once

#include "fzctrl/convert/CMemoryMapper.h"
#include "fzctrl/convert/CWaveFileError.h"

#include <cstdint>
#include <memory>
#include <string>

namespace fz {

// A RIFF chunk header: a four-character identifier and the little-endian size of the body.
struct RiffChunkHeader {
    char id[4];
    std::uint8_t size[4];
};
static_assert(sizeof(RiffChunkHeader) == 8 && alignof(RiffChunkHeader) == 1);

// Read access to a RIFF WAVE file without copying it: the "fmt " chunk and the sample data,
// as pointers into one read-only mapping of the whole file. The engine uses it for its
// temporary WAV files, on the window thread. Pointers stay valid until the handler is
// reopened or destroyed.
//
// Whatever the chunk sizes claim, nothing outside the mapping is read, and GetData never
// reports more bytes than the file holds after the "data" chunk header.
class CWaveFileHandler {
public:
    CWaveFileHandler() = default;
    virtual ~CWaveFileHandler();
    CWaveFileHandler(const CWaveFileHandler&) = delete;
    CWaveFileHandler& operator=(const CWaveFileHandler&) = delete;

    // Releases the previous file, then maps and checks the file at `path` (host form) as
    // LocateWaveChunks describes. Throws CWaveFileError with one of the kWaveError texts; the
    // handler holds no mapping then.
    void OpenForRead(const std::string& path);

    // The "fmt " chunk including its 8-byte header; `size` := body size + 8. Only after a
    // successful OpenForRead.
    const RiffChunkHeader* GetFmt(std::uint32_t& size) const;

    // The first sample byte; `size` := the "data" chunk's body size, cut to the end of the
    // file when the header claims more. Only after a successful OpenForRead.
    const std::uint8_t* GetData(std::uint32_t& size) const;

private:
    void Release();

    const std::uint8_t* m_samples = nullptr;
    const std::uint8_t* m_riffHeader = nullptr;
    const RiffChunkHeader* m_fmtChunk = nullptr;
    const RiffChunkHeader* m_dataChunk = nullptr;
    std::unique_ptr<CMemoryMapper> m_mapper;
    std::uint32_t m_fmtSize = 0;
    std::uint32_t m_dataSize = 0;
};

} // namespace fz
