#pragma once

#include <exception>

namespace fz {

// The reasons CWaveFileHandler::OpenForRead refuses a file, in the order of its checks.
inline constexpr const char* kWaveErrorMapping =
    "CWaveFileHandler::OpenForRead, Failed to open file mapping";
inline constexpr const char* kWaveErrorNullPointer =
    "CWaveFileHandler::OpenForRead, memorymapper returns NULL ptr.";
inline constexpr const char* kWaveErrorRiffHeader =
    "CWaveFileHandler::OpenForRead, Invalid or corrupt Riff header. 'RIFF' or 'WAVE' missing.";
inline constexpr const char* kWaveErrorFmtChunk =
    "CWaveFileHandler::OpenForRead, Invalid or corrupt fmt block. 'fmt ' missing.";
inline constexpr const char* kWaveErrorDataChunk =
    "CWaveFileHandler::OpenForRead, Invalid or corrupt data block. 'data' missing.";

// What CWaveFileHandler::OpenForRead throws: one of the constant texts above. Callers catch
// it as a group and abandon the step that needed the file.
class CWaveFileError : public std::exception {
public:
    explicit CWaveFileError(const char* message) noexcept
        : m_message(message) {}
    const char* what() const noexcept override { return m_message; }
    const char* Message() const noexcept { return m_message; }

private:
    const char* m_message;
};

} // namespace fz
