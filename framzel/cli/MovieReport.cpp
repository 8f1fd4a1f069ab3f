#include "framzel/cli/MovieReport.h"

#include <cstdio>

namespace fz::cli {
namespace {

std::string Seconds(std::uint64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu s", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

} // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string MovieReportText(const std::string& path, const MovieInspection& r) {
    std::string out = "movie: " + path + " (" + std::to_string(r.fileSize) + " bytes)\n";
    out += "picture: " + std::to_string(r.width) + " x " + std::to_string(r.height) + "\n";
    out += "frames: " + std::to_string(r.frames.size()) + ", " + std::to_string(r.frameDurationMs) +
           " ms each, " + Seconds(r.PictureDurationMs()) + " in all\n";
    if (r.hasSound)
        out += "sound: IMA ADPCM, " + std::to_string(r.channels) +
               (r.channels == 1 ? " channel, " : " channels, ") + std::to_string(r.sampleRate) +
               " Hz, " + std::to_string(r.soundFrames) + " samples, " +
               Seconds(r.SoundDurationMs()) + "\n";
    else
        out += "sound: none readable\n";
    for (const std::string& fault : r.faults)
        out += "fault: " + fault + "\n";
    out += r.faults.empty() ? std::string("no faults\n")
                            : std::to_string(r.faults.size()) +
                                  (r.faults.size() == 1 ? " fault\n" : " faults\n");
    return out;
}

std::string MovieReportJson(const std::string& path, const MovieInspection& r) {
    std::string out = "{\n";
    out += "  \"file\": " + JsonString(path) + ",\n";
    out += "  \"size\": " + std::to_string(r.fileSize) + ",\n";
    out += std::string("  \"ok\": ") + (r.IsSound() ? "true" : "false") + ",\n";
    out += "  \"picture\": {\"width\": " + std::to_string(r.width) +
           ", \"height\": " + std::to_string(r.height) + "},\n";
    out += "  \"frames\": {\"count\": " + std::to_string(r.frames.size()) +
           ", \"frameDurationMs\": " + std::to_string(r.frameDurationMs) +
           ", \"durationMs\": " + std::to_string(r.PictureDurationMs()) +
           ", \"largestFrame\": " + std::to_string(r.largestFrame) +
           ", \"videoStartOffsetMs\": " + std::to_string(r.videoStartOffsetMs) + "},\n";
    if (r.hasSound)
        out +=
            "  \"audio\": {\"format\": \"ima-adpcm\", \"channels\": " + std::to_string(r.channels) +
            ", \"sampleRate\": " + std::to_string(r.sampleRate) +
            ", \"samples\": " + std::to_string(r.soundFrames) +
            ", \"durationMs\": " + std::to_string(r.SoundDurationMs()) + "},\n";
    else
        out += "  \"audio\": null,\n";
    out += "  \"faults\": [";
    for (std::size_t i = 0; i < r.faults.size(); ++i)
        out += (i == 0 ? "" : ", ") + JsonString(r.faults[i]);
    out += "]\n}\n";
    return out;
}

} // namespace fz::cli
