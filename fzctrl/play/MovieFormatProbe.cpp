#include "fzctrl/play/MovieFormatProbe.h"

#include "fzctrl/convert/CMemoryMapper.h"
#include "fzctrl/play/JpegFile.h"
#include "fzctrl/play/MovieFileKind.h"
#include "fzctrl/play/MovieLayout.h"
#include "fzctrl/play/PlayTempFile.h"
#include "platform/avifile/AviFile.h"
#include "platform/log/Diagnostics.h"

#include <algorithm>
#include <cstring>

namespace fz {
namespace {

constexpr std::uint32_t kMaxProbePictureBytes = 1u << 20;

MediaFormat MovieFormat(std::uint32_t width, std::uint32_t height, std::uint16_t channels,
                        std::uint32_t sampleRate) {
    return {
        MakeMoviePictureFormat(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)),
        MakeMovieSoundFormat(channels, sampleRate)};
}

bool ProbeYhav(const std::string& hostPath, MediaFormat& format) {
    CMemoryMapper mapper;
    if (!mapper.Open(hostPath))
        return false;
    YhavLayout layout;
    if (!ReadYhavLayout(mapper.Data(), mapper.Size(), layout))
        return false;
    const std::uint32_t bytes = std::min(layout.videoLength, kMaxProbePictureBytes);
    std::optional<PlayTempFile> picture =
        PlayTempFile::Create("fztempjpeg.jpg", mapper.Data() + layout.videoOffset, bytes);
    if (!picture)
        return false;
    int width = 0;
    int height = 0;
    if (!ReadJpegSize(picture->Path(), width, height))
        return false;
    // The probe reports the 16-bit rate at 40, as the player's sound format does.
    format = MovieFormat(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                         layout.channels, layout.sampleRateField & 0xFFFF);
    return true;
}

bool ProbeKqff(const std::string& hostPath, MediaFormat& format) {
    CMemoryMapper mapper;
    if (!mapper.Open(hostPath))
        return false;
    const std::uint8_t* data = mapper.Data();
    const std::uint64_t size = mapper.Size();
    std::uint32_t kind = 0;
    if (!ReadKqffHeader(data, size, kind))
        return false;
    if (kind == kAudioKindAdpcm) {
        KqffAdpcmInfo info;
        if (!ReadKqffAdpcmInfo(data, size, info))
            return false;
        format = MovieFormat(info.width, info.height, info.channels, info.sampleRateField & 0xFFFF);
        return true;
    }
    if (kind == kAudioKindMp3) {
        KqffMp3Info info;
        if (!ReadKqffMp3Info(data, size, LayoutUse::FormatQuery, info))
            return false;
        format = MovieFormat(info.width, info.height, info.channels, info.sampleRate);
        return true;
    }
    return false;
}

bool ProbeAvi(const std::string& hostPath, MediaFormat& format) {
    avifile::AviFile file;
    if (file.Open(hostPath) != avifile::AviError::None) {
        DebugPrint("error: open avi file failed\n");
        return false;
    }
    const avifile::AviStreamInfo* video = file.GetStream(avifile::kStreamTypeVideo, 0);
    if (video == nullptr)
        return false;
    const avifile::AviStreamInfo* audio = file.GetStream(avifile::kStreamTypeAudio, 0);
    if (audio == nullptr)
        return false;
    avifile::AviFile::ReadFormat(*video, &format.picture, sizeof format.picture);
    avifile::AviFile::ReadFormat(*audio, &format.sound, sizeof format.sound);
    return true;
}

// Every output record starts zeroed, so that a failure, or a stored format shorter than the
// record, leaves zeroes.
MediaFormat ZeroFormat() {
    MediaFormat format;
    format.picture.size = 0;
    return format;
}

} // namespace

bool ReadFormat(const std::string& hostPath, MediaFormat& format) {
    format = ZeroFormat();
    MediaFormat result = ZeroFormat();
    const bool ok =
        IsYhavFile(hostPath) ? ProbeYhav(hostPath, result) : ProbeKqff(hostPath, result);
    if (ok)
        format = result;
    return ok;
}

bool QueryMediaFormat(const std::string& hostPath, MediaFormat& format) {
    if (IsKqffFile(hostPath) || IsYhavFile(hostPath))
        return ReadFormat(hostPath, format);
    format = ZeroFormat();
    MediaFormat result = ZeroFormat();
    if (!ProbeAvi(hostPath, result))
        return false;
    format = result;
    return true;
}

} // namespace fz
