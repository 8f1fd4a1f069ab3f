#include "framzel/cli/SourceDiagnosis.h"

#include <filesystem>
#include <sys/statvfs.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace fz::cli {
namespace {

namespace stdfs = std::filesystem;

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

struct StreamsFound {
    bool opened = false;
    bool picture = false;
    bool sound = false;
};

// The streams FFmpeg can decode in the file.
StreamsFound ProbeStreams(const std::string& path) {
    av_log_set_level(AV_LOG_QUIET);
    StreamsFound found;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) != 0)
        return found;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        found.opened = true;
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            const AVCodecParameters* codec = context->streams[i]->codecpar;
            if (avcodec_find_decoder(codec->codec_id) == nullptr)
                continue;
            if (codec->codec_type == AVMEDIA_TYPE_VIDEO &&
                (context->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0)
                found.picture = true;
            if (codec->codec_type == AVMEDIA_TYPE_AUDIO)
                found.sound = true;
        }
    }
    avformat_close_input(&context);
    return found;
}

} // namespace

std::string CheckBeforeConverting(const std::string& source, const std::string& target) {
    std::error_code error;
    const auto status = stdfs::status(source, error);
    if (!stdfs::exists(status))
        return "no such file: " + source;
    if (stdfs::is_directory(status))
        return source + " is a folder, not a video";
    if (stdfs::equivalent(source, target, error) && !error)
        return "the source and the movie are the same file: " + target;
    const std::string folder = FolderOf(target);
    const auto folderStatus = stdfs::status(folder, error);
    if (!stdfs::is_directory(folderStatus))
        return "the movie's folder does not exist: " + folder;
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "the movie's folder cannot be written: " + folder;
    if (stdfs::is_directory(stdfs::status(target, error)))
        return "the movie's path is a folder: " + target;
    return {};
}

std::string ExplainFailure(const std::string& source, const std::string& target) {
    const StreamsFound streams = ProbeStreams(source);
    if (!streams.opened)
        return source + " is not a media file the decoders know";
    if (!streams.picture)
        return source + " has no pictures";
    if (!streams.sound)
        return source + " has no sound";
    struct statvfs space {};
    if (statvfs(FolderOf(target).c_str(), &space) == 0 &&
        static_cast<unsigned long long>(space.f_bavail) * space.f_frsize < 1024 * 1024)
        return "the disk of " + FolderOf(target) + " is full";
    return "the conversion of " + source + " failed";
}

} // namespace fz::cli
