// framzel-cli inspect MOVIE: checks a movie file written by this system field by field, prints
// what it holds and each fault, and on request extracts its frames and sound or draws a contact
// sheet. Exit status 0 only when the movie is sound.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"
#include "framzel/cli/ContactSheet.h"
#include "framzel/cli/MovieReport.h"
#include "fzctrl/convert/MovieInspector.h"
#include "fzdsp/formats/SoundFileHeader.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fz::cli {
namespace {

constexpr std::uint64_t kLargestMovie = 0xFFFFFFFFu; // the container's sizes are 32 bits

std::optional<std::vector<std::uint8_t>> ReadMovie(const std::string& path, std::string& why) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        why = "no such file: " + path;
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(status)) {
        why = "not a file: " + path;
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kLargestMovie) {
        why = error ? "cannot read " + path : path + " is too large to be a movie";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(size);
    if (!in ||
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        why = "cannot read " + path;
        return std::nullopt;
    }
    return bytes;
}

bool WriteBytes(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// The frames as frame_NNNNN.jpg and the sound decoded to sound.wav (16-bit PCM).
bool Extract(const std::vector<std::uint8_t>& bytes, const MovieInspection& r,
             const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        PrintError("cannot create the folder " + folder.string() + ": " + error.message());
        return false;
    }
    for (std::size_t k = 0; k < r.frames.size(); ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05zu.jpg", k);
        const InspectedFrame& frame = r.frames[k];
        if (!WriteBytes(folder / name, bytes.data() + frame.offset + 8, frame.length)) {
            PrintError("cannot write " + (folder / name).string());
            return false;
        }
    }
    if (!r.hasSound)
        return true;
    const std::span<const std::uint8_t> blocks(bytes.data() + r.adpcmOffset, r.adpcmSize);
    const std::vector<std::int16_t> samples = DecodeMovieSound(blocks, r.soundFrames);
    SoundFileHeader header;
    header.channels = 1;
    header.sampleRate = r.sampleRate;
    header.SetFileLength(static_cast<std::int64_t>(kSoundFileHeaderSize + samples.size() * 2));
    std::vector<std::uint8_t> wave;
    const auto head = header.Encode();
    wave.assign(head.begin(), head.end());
    for (std::int16_t sample : samples) {
        wave.push_back(static_cast<std::uint8_t>(sample & 0xFF));
        wave.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
    }
    if (!WriteBytes(folder / "sound.wav", wave.data(), wave.size())) {
        PrintError("cannot write " + (folder / "sound.wav").string());
        return false;
    }
    return true;
}

bool WriteSheet(const std::vector<std::uint8_t>& bytes, const MovieInspection& r,
                const std::string& path) {
    std::vector<SheetFrame> frames;
    for (const InspectedFrame& frame : r.frames)
        frames.push_back({{bytes.data() + frame.offset + 8, frame.length}, frame.timeStampMs});
    const RgbPicture sheet = MakeContactSheet(frames, 5, 160, 40);
    if (sheet.width == 0) {
        PrintError("no frames to draw a contact sheet of");
        return false;
    }
    if (!WriteJpeg(path, sheet, 85)) {
        PrintError("cannot write " + path);
        return false;
    }
    return true;
}

class InspectCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("MOVIE", m_movie, "The movie file to check")->required();
        command.add_flag("--json", m_json, "Print the findings as JSON");
        command.add_option("--extract", m_extractFolder,
                           "Write the JPEG frames and the sound (16-bit WAVE) into this folder");
        command.add_option("--sheet", m_sheet,
                           "Write a contact sheet of the frames to this JPEG file");
    }

    ExitStatus Run(const GlobalOptions&) override {
        std::string why;
        const auto bytes = ReadMovie(m_movie, why);
        if (!bytes) {
            PrintError(why);
            return kExitFailed;
        }
        const MovieInspection inspection = InspectMovie(*bytes);
        const std::string report =
            m_json ? MovieReportJson(m_movie, inspection) : MovieReportText(m_movie, inspection);
        std::fwrite(report.data(), 1, report.size(), stdout);
        bool ok = inspection.IsSound();
        if (!m_extractFolder.empty())
            ok = Extract(*bytes, inspection, m_extractFolder) && ok;
        if (!m_sheet.empty())
            ok = WriteSheet(*bytes, inspection, m_sheet) && ok;
        return ok ? kExitDone : kExitFailed;
    }

private:
    std::string m_movie;
    std::string m_extractFolder;
    std::string m_sheet;
    bool m_json = false;
};

} // namespace

FRAMZEL_CLI_COMMAND(InspectCommand, "inspect", "Check a movie file and show what it holds");

} // namespace fz::cli
