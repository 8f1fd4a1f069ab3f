#include "fzctrl/convert/CConvertDriver.h"

#include "fzctrl/convert/MovieWriter.h"
#include "platform/fs/DriveC.h"
#include "platform/fs/FileOperations.h"
#include "platform/log/Diagnostics.h"
#include "platform/time/TickCount.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

namespace fz {
namespace {

constexpr const char* kProbeName = "52731904";

std::string FileNameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string WithoutSpaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

// The probe of the temporary folder: drive C: replaces a folder where no file can be made.
void ProbeTemporaryFolder(std::string& tempFolder) {
    const std::string probe = tempFolder + kProbeName;
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr) {
        tempFolder = fs::HostPath("c:\\");
        return;
    }
    std::fclose(file);
    fs::DeleteFile(probe);
}

// The temporary folder the conversion may use, or false with the reason printed. A folder that
// cannot take files becomes drive C: for good, as the probe does; an empty folder (drive C:
// refused, or a setting that names none) fails, before any probe or intermediate file is made
// with a name that would resolve against the current directory.
bool PrepareTemporaryFolder(std::string& tempFolder, const TempFolderReason& check) {
    std::string reason = check();
    if (!reason.empty() && !tempFolder.empty()) {
        tempFolder = fs::HostPath("c:\\");
        reason = check();
    }
    if (reason.empty()) {
        ProbeTemporaryFolder(tempFolder);
        if (tempFolder.empty())
            reason = check();
    }
    if (reason.empty())
        return true;
    DebugPrint("ConvertStart: %s\n", reason.c_str());
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// The driver gives the writer a copy of the record with the picture size as the rotated
// pictures have it.
ConvertParams MovieRecord(const ConvertParams& record) {
    ConvertParams copy = record;
    if (copy.rotate == 90 || copy.rotate == 270)
        std::swap(copy.width, copy.height);
    return copy;
}

} // namespace

std::string TemporaryBase(const std::string& tempFolder, std::uint32_t tickCount,
                          std::string_view target) {
    char tick[16];
    std::snprintf(tick, sizeof tick, "%08d", static_cast<int>(tickCount));
    return tempFolder + "fz_" + tick + "_" + WithoutSpaces(FileNameOf(target));
}

bool SamePathIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

CConvertDriver::~CConvertDriver() {
    m_graph.Teardown();
}

int CConvertDriver::Start(const std::string& source, const std::string& target, bool fast,
                          ConvertParams& record, std::string& tempFolder,
                          const TempFolderReason& checkTempFolder,
                          const ConvertFilterSettings& settings) {
    if (m_fastWaiting)
        return 2;
    if (SamePathIgnoringCase(target, source) || SameFile(source, target))
        return 2;
    if (target.find('/') == std::string::npos)
        return 2;
    if (!PrepareTemporaryFolder(tempFolder, checkTempFolder))
        return 2; // no place for the intermediate files
    m_temporaryBase = TemporaryBase(tempFolder, time::GetTickCount(), target);
    if (fast) {
        m_pendingTarget = target;
        m_snapshot = record;
    }

    m_fastWaiting = fast;
    const bool built = m_graph.BuildAndRun(source, m_temporaryBase, record, fast, settings);
    m_fastWaiting = false;
    const std::string frameFile = m_temporaryBase + ".mjpg";
    const std::string soundFile = m_temporaryBase + ".wav";
    m_pendingTarget.clear();
    if (!built) {
        fs::DeleteFile(frameFile);
        fs::DeleteFile(soundFile);
        return 2;
    }
    if (!fast) {
        m_pendingTarget = target;
        m_snapshot = record;
        return 0;
    }

    const bool ranToEnd = m_graph.IsRunning();
    ConvertParams copy = record;
    m_graph.Teardown(&copy.audioLengthMs);
    copy = MovieRecord(copy);
    int result = 0;
    if (!WriteMovie(copy, target, frameFile, soundFile, m_abandon))
        result = ranToEnd ? 2 : 0;
    fs::DeleteFile(soundFile);
    fs::DeleteFile(frameFile);
    m_pendingTarget.clear();
    m_snapshot = ConvertParams{};
    return result;
}

void CConvertDriver::Stop(const std::string& tempFolder) {
    if (!m_graph.IsRunning())
        return;
    m_snapshot.videoStartOffsetMs = m_graph.StartOffsetMs();
    const bool recorded = m_graph.IsRecording();
    m_graph.Teardown(&m_snapshot.audioLengthMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (!recorded || m_pendingTarget.size() <= 3)
        return;
    // The names again from the stored base, placed in the current temporary folder.
    const std::string base = tempFolder + WithoutSpaces(FileNameOf(m_temporaryBase));
    WritePendingMovie(base + ".mjpg", base + ".wav");
}

void CConvertDriver::WritePendingMovie(const std::string& frameFile, const std::string& soundFile) {
    ConvertParams copy = MovieRecord(m_snapshot);
    WriteMovie(copy, m_pendingTarget, frameFile, soundFile, m_abandon);
    fs::DeleteFile(frameFile);
    fs::DeleteFile(soundFile);
    m_pendingTarget.clear();
    m_snapshot = ConvertParams{};
}

} // namespace fz
