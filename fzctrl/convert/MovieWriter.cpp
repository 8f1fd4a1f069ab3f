#include "fzctrl/convert/MovieWriter.h"

#include "fzctrl/convert/CMemoryMapper.h"
#include "fzctrl/convert/CWaveFileHandler.h"
#include "fzctrl/convert/CountImages.h"
#include "fzctrl/convert/MovieContainer.h"
#include "fzctrl/convert/MovieSound.h"
#include "fzctrl/convert/ReplacementFile.h"
#include "platform/ui/MessageBox.h"

#include <limits>
#include <memory>

namespace fz {
namespace {

constexpr std::size_t kRecordPeek = 20; // the two numbers and the first 12 image bytes
constexpr std::uint32_t kMinRecordImage = 12;

bool CanOpenForReading(const std::string& path) {
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr)
        return false;
    std::fclose(stream);
    return true;
}

struct CopiedRecords {
    std::uint64_t videoSize = 0; // V before the padding
    std::uint32_t count = 0;
};

// Copies the frame records from `frames` to `out` through `buffer` (kMovieCopyBufferSize
// bytes). Nothing on a write or read error; a short read or a record of an impossible length
// ends the copy.
std::optional<CopiedRecords> CopyFrameRecords(std::FILE* frames, std::FILE* out,
                                              std::uint8_t* buffer,
                                              const std::atomic<bool>* abandon) {
    CopiedRecords copied;
    for (;;) {
        if (abandon != nullptr && abandon->load())
            return std::nullopt;
        if (std::fread(buffer, 1, kRecordPeek, frames) != kRecordPeek)
            break;
        const std::uint32_t length = ReadLe32(buffer + 4);
        if (length < kMinRecordImage || length > kMovieCopyBufferSize - 8)
            break;
        const std::size_t rest = length - kMinRecordImage;
        if (std::fread(buffer + kRecordPeek, 1, rest, frames) != rest)
            break;
        if (!WriteAll(out, buffer, 8 + static_cast<std::size_t>(length)))
            return std::nullopt;
        copied.videoSize += 8 + static_cast<std::uint64_t>(length);
        if (copied.count == std::numeric_limits<std::uint32_t>::max())
            break;
        ++copied.count;
    }
    if (std::ferror(frames) != 0)
        return std::nullopt;
    return copied;
}

// The length in ms of D bytes of 16-bit sound: D x 1000 / (channels x rate x 2), truncated.
std::int32_t SoundLengthMs(std::uint32_t dataSize, const PcmSoundFormat& format) {
    const double ms = static_cast<double>(dataSize) * 1000.0 /
                      (static_cast<double>(format.channels) * format.sampleRate * 2.0);
    if (ms >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(ms);
}

struct FileCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

bool WriteMovie(ConvertParams& snapshot, const std::string& target, const std::string& frameFile,
                const std::string& soundFile, const std::atomic<bool>* abandon) {
    if (!CanOpenForReading(frameFile) || !CanOpenForReading(soundFile))
        return false;

    std::uint32_t images = 0;
    std::uint32_t largest = 0;
    {
        CMemoryMapper mapper;
        if (mapper.Open(frameFile))
            images = CountImages(mapper.Data(), mapper.Size(), &largest);
    }
    snapshot.largestFrame = static_cast<std::int32_t>(
        std::min<std::uint32_t>(largest, std::numeric_limits<std::int32_t>::max()));

    CWaveFileHandler wave;
    try {
        wave.OpenForRead(soundFile);
    } catch (const CWaveFileError&) {
        return false;
    }
    const std::optional<PcmSoundFormat> format = ReadPcmSoundFormat(wave);
    if (!format)
        return false;
    std::uint32_t dataSize = 0;
    const std::uint8_t* pcm = wave.GetData(dataSize);
    snapshot.audioLengthMs = SoundLengthMs(dataSize, *format);

    UniqueFile frames(std::fopen(frameFile.c_str(), "rb"));
    if (!frames)
        return false;
    ReplacementFile movie;
    if (!movie.Create(target))
        return false;
    std::FILE* out = movie.Stream();
    auto buffer = std::make_unique<std::uint8_t[]>(kMovieCopyBufferSize);

    MovieHead head;
    head.frameDurationMs =
        images == 0 ? 0 : static_cast<std::uint32_t>(snapshot.audioLengthMs) / images;
    head.largestFrame = static_cast<std::uint32_t>(snapshot.largestFrame);
    head.frameCount = images;
    head.videoStartOffsetMs = static_cast<std::uint32_t>(snapshot.videoStartOffsetMs);
    head.width = static_cast<std::uint32_t>(snapshot.width);
    head.height = static_cast<std::uint32_t>(snapshot.height);
    if (!WriteAll(out, EncodeMovieHead(head).data(), kMovieFirstRecordOffset))
        return false;

    const std::optional<CopiedRecords> copied =
        CopyFrameRecords(frames.get(), out, buffer.get(), abandon);
    frames.reset();
    if (!copied)
        return false;
    std::uint64_t videoSize = copied->videoSize;
    if (videoSize % 4 != 0) {
        static constexpr std::uint8_t kZeros[4] = {};
        const std::size_t padding = 4 - videoSize % 4;
        if (!WriteAll(out, kZeros, padding))
            return false;
        videoSize += padding;
    }
    if (!WriteAll(out, EncodeMovieAudioDataHeader().data(), kMovieDataChunkHeaderSize))
        return false;

    std::optional<EncodedMovieSound> sound;
    {
        DriveCScratchFile resampled;
        if (!resampled.Create("TempAudioFile_"))
            return false;
        UniqueFile scratch(std::fopen(resampled.Path().c_str(), "wb"));
        if (!scratch ||
            !WriteResampledSoundFile(scratch.get(), {pcm, dataSize}, *format, abandon) ||
            std::fclose(scratch.release()) != 0)
            return false;
        sound = EncodeResampledSoundFile(resampled.Path());
        if (!sound) {
            ui::MessageBox(0, "Can not open this file", "", ui::kMbOk);
            return false;
        }
    }
    buffer.reset();

    const auto waveHeader = EncodeMovieWaveHeader(sound->channels, sound->frames,
                                                  static_cast<std::uint32_t>(sound->data.size()));
    if (!WriteAll(out, waveHeader.data(), waveHeader.size()) ||
        !WriteAll(out, sound->data.data(), sound->data.size()))
        return false;

    if (std::fseek(out, 0, SEEK_END) != 0)
        return false;
    const long fileSize = std::ftell(out);
    if (fileSize < 0 ||
        static_cast<std::uint64_t>(fileSize) > std::numeric_limits<std::uint32_t>::max())
        return false;
    head.fileSize = static_cast<std::uint32_t>(fileSize);
    head.videoSize = static_cast<std::uint32_t>(videoSize);
    head.audioSize = static_cast<std::uint32_t>(static_cast<std::uint64_t>(fileSize) -
                                                kMovieFixedSize - videoSize);
    head.frameCount = copied->count;
    if (std::fseek(out, 0, SEEK_SET) != 0 ||
        !WriteAll(out, EncodeMovieHead(head).data(), kMovieFirstRecordOffset))
        return false;
    return movie.Commit();
}

} // namespace fz
