#include "fzctrl/convert/MovieSound.h"

#include "fzctrl/convert/AdpcmCodec.h"
#include "fzctrl/convert/MovieContainer.h"
#include "fzctrl/convert/ReplacementFile.h"
#include "fzctrl/convert/Resampler.h"
#include "fzdsp/formats/SoundFileHeader.h"
#include "platform/log/Diagnostics.h"

#include <bit>
#include <cstring>
#include <limits>
#include <memory>

namespace fz {
namespace {

static_assert(std::endian::native == std::endian::little, "PCM samples are read in place");

constexpr int kBlockFrames = 1024;
constexpr std::uint16_t kPcmFormatTag = 1;

} // namespace

std::optional<PcmSoundFormat> ReadPcmSoundFormat(const CWaveFileHandler& wave) {
    std::uint32_t size = 0;
    const auto* chunk = reinterpret_cast<const std::uint8_t*>(wave.GetFmt(size));
    if (size < 8 + 16)
        return std::nullopt;
    const std::uint8_t* body = chunk + 8;
    PcmSoundFormat format;
    format.channels = ReadLe16(body + 2);
    format.sampleRate = ReadLe32(body + 4);
    if (ReadLe16(body) != kPcmFormatTag || ReadLe16(body + 14) != 16 || format.channels < 1 ||
        format.channels > 2 || format.sampleRate == 0 ||
        format.sampleRate > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
        return std::nullopt;
    return format;
}

bool WriteResampledSoundFile(std::FILE* stream, std::span<const std::uint8_t> pcm,
                             PcmSoundFormat format, const std::atomic<bool>* abandon) {
    auto state = std::make_unique<ResamplerState>();
    ResamplerSize(state.get());
    const auto inputRate = static_cast<int>(format.sampleRate);
    if (ResamplerSetup(state.get(), inputRate, static_cast<int>(kMovieAudioRate), 1) != 0)
        return false;

    SoundFileHeader header;
    header.channels = 1;
    header.sampleRate = kMovieAudioRate;
    if (!WriteAll(stream, header.Encode().data(), kSoundFileHeaderSize))
        return false;

    const std::size_t frameBytes = 2u * format.channels;
    const std::size_t blockBytes = frameBytes * kBlockFrames;
    std::vector<std::int16_t> interleaved(static_cast<std::size_t>(kBlockFrames) * format.channels);
    std::vector<std::int16_t> mono(kBlockFrames);
    // At most count x 8000 / rate + 1 samples come out of a block.
    std::vector<std::int16_t> output(static_cast<std::size_t>(
        static_cast<std::int64_t>(kBlockFrames) * kMovieAudioRate / format.sampleRate + 2));

    std::uint64_t appended = 0;
    for (std::size_t at = 0; pcm.size() - at >= blockBytes; at += blockBytes) {
        if (abandon != nullptr && abandon->load())
            return false;
        std::memcpy(interleaved.data(), pcm.data() + at, blockBytes);
        if (format.channels == 2) {
            for (int i = 0; i < kBlockFrames; ++i) {
                const int sum = interleaved[2 * static_cast<std::size_t>(i)] +
                                interleaved[2 * static_cast<std::size_t>(i) + 1];
                mono[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(sum >> 1);
            }
        } else {
            mono = interleaved;
        }
        const int produced =
            ResamplerProcess(state.get(), mono.data(), output.data(), kBlockFrames, 0);
        if (produced < 0) {
            DebugPrint("error! SAMPLE_BLOCK is more than MAXINPUTSAMPLEBLOCK\n");
            continue;
        }
        const std::size_t bytes = static_cast<std::size_t>(produced) * 2;
        if (!WriteAll(stream, output.data(), bytes))
            return false;
        appended += bytes;
    }

    header.SetFileLength(static_cast<std::int64_t>(appended + kSoundFileHeaderSize));
    return std::fseek(stream, 0, SEEK_SET) == 0 &&
           WriteAll(stream, header.Encode().data(), kSoundFileHeaderSize) &&
           std::fflush(stream) == 0;
}

std::optional<EncodedMovieSound> EncodeResampledSoundFile(const std::string& hostPath) {
    std::FILE* stream = std::fopen(hostPath.c_str(), "rb");
    if (stream == nullptr)
        return std::nullopt;
    std::uint8_t headerBytes[kSoundFileHeaderSize];
    std::vector<std::int16_t> samples;
    bool ok = std::fread(headerBytes, 1, sizeof headerBytes, stream) == sizeof headerBytes;
    long end = -1;
    if (ok && std::fseek(stream, 0, SEEK_END) == 0)
        end = std::ftell(stream);
    ok = ok && end >= static_cast<long>(kSoundFileHeaderSize) &&
         std::fseek(stream, static_cast<long>(kSoundFileHeaderSize), SEEK_SET) == 0;
    if (ok) {
        const auto bytes = static_cast<std::size_t>(end) - kSoundFileHeaderSize;
        samples.resize(bytes / 2);
        ok = std::fread(samples.data(), 1, bytes / 2 * 2, stream) == bytes / 2 * 2;
    }
    std::fclose(stream);
    const auto header = SoundFileHeader::Decode(headerBytes);
    if (!ok || !header || header->channels != 1)
        return std::nullopt;

    // P x 8 / (bits x channels) with 16 bits and one channel.
    const std::uint64_t frames = samples.size();
    if (frames > static_cast<std::uint64_t>(std::numeric_limits<int>::max() - 1))
        return std::nullopt;
    EncodedMovieSound sound;
    sound.channels = header->channels;
    sound.frames = static_cast<std::uint32_t>(frames);
    sound.data.assign(MovieAdpcmDataSize(frames, sound.channels), 0);
    AdpcmState adpcm;
    AdpcmEncodeBlocks(samples.data(), sound.data.data(), static_cast<int>(frames), &adpcm, 1);
    return sound;
}

} // namespace fz
