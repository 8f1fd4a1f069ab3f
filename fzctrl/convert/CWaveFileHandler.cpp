#include "fzctrl/convert/CWaveFileHandler.h"

#include "fzctrl/convert/WaveChunkLocator.h"

#include <cassert>

namespace fz {

CWaveFileHandler::~CWaveFileHandler() {
    Release();
}

void CWaveFileHandler::Release() {
    m_mapper.reset();
    m_samples = nullptr;
    m_riffHeader = nullptr;
    m_fmtChunk = nullptr;
    m_dataChunk = nullptr;
    m_fmtSize = 0;
    m_dataSize = 0;
}

void CWaveFileHandler::OpenForRead(const std::string& path) {
    Release();
    m_mapper = std::make_unique<CMemoryMapper>();
    if (!m_mapper->Open(path)) {
        Release();
        throw CWaveFileError(kWaveErrorMapping);
    }
    const std::uint8_t* p = m_mapper->Data();
    const WaveLocateResult located = LocateWaveChunks(p, m_mapper->Size());
    if (located.error != nullptr) {
        Release();
        throw CWaveFileError(located.error);
    }
    m_riffHeader = p;
    m_fmtChunk = reinterpret_cast<const RiffChunkHeader*>(p + located.chunks.fmtOffset);
    m_dataChunk = reinterpret_cast<const RiffChunkHeader*>(p + located.chunks.dataOffset);
    m_samples = p + located.chunks.dataOffset + sizeof(RiffChunkHeader);
    m_fmtSize = located.chunks.fmtSize;
    m_dataSize = located.chunks.dataSize;
}

const RiffChunkHeader* CWaveFileHandler::GetFmt(std::uint32_t& size) const {
    assert(m_fmtChunk != nullptr && "GetFmt needs a successful OpenForRead");
    // No wrap: a body longer than 16 bytes ends before the "data" header inside a file below
    // 4 GiB.
    size = m_fmtSize + static_cast<std::uint32_t>(sizeof(RiffChunkHeader));
    return m_fmtChunk;
}

const std::uint8_t* CWaveFileHandler::GetData(std::uint32_t& size) const {
    assert(m_samples != nullptr && "GetData needs a successful OpenForRead");
    size = m_dataSize;
    return m_samples;
}

} // namespace fz
