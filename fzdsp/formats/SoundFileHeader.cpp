#include "fzdsp/formats/SoundFileHeader.h"

#include "platform/bytes/LittleEndian.h"

#include <cstring>
#include <limits>

namespace fz {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint32_t kPcmFormatBodySize = 16;
constexpr std::uint16_t kBitsPerSample = 16;

std::uint32_t SizeField(std::int64_t fileLength, std::int64_t headerPart) {
    const std::int64_t size = fileLength - headerPart;
    if (size > std::numeric_limits<std::uint32_t>::max())
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(size);
}

} // namespace

void SoundFileHeader::SetFileLength(std::int64_t fileLength) {
    if (fileLength < static_cast<std::int64_t>(kSoundFileHeaderSize)) {
        riffSize = 0;
        dataSize = 0;
        return;
    }
    riffSize = SizeField(fileLength, 8);
    dataSize = SizeField(fileLength, static_cast<std::int64_t>(kSoundFileHeaderSize));
}

std::array<std::uint8_t, kSoundFileHeaderSize> SoundFileHeader::Encode() const {
    std::array<std::uint8_t, kSoundFileHeaderSize> out{};
    std::uint8_t* p = out.data();
    std::memcpy(p, "RIFF", 4);
    WriteLe32(p + 4, riffSize);
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    WriteLe32(p + 16, kPcmFormatBodySize);
    WriteLe16(p + 20, kFormatPcm);
    WriteLe16(p + 22, channels);
    WriteLe32(p + 24, sampleRate);
    WriteLe32(p + 28, BytesPerSecond());
    WriteLe16(p + 32, BlockAlign());
    WriteLe16(p + 34, kBitsPerSample);
    std::memcpy(p + 36, "data", 4);
    WriteLe32(p + 40, dataSize);
    return out;
}

std::optional<SoundFileHeader> SoundFileHeader::Decode(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kSoundFileHeaderSize)
        return std::nullopt;
    const std::uint8_t* p = bytes.data();
    if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0 ||
        std::memcmp(p + 12, "fmt ", 4) != 0 || ReadLe32(p + 16) != kPcmFormatBodySize ||
        ReadLe16(p + 20) != kFormatPcm || ReadLe16(p + 34) != kBitsPerSample ||
        std::memcmp(p + 36, "data", 4) != 0)
        return std::nullopt;
    SoundFileHeader header;
    header.riffSize = ReadLe32(p + 4);
    header.channels = ReadLe16(p + 22);
    header.sampleRate = ReadLe32(p + 24);
    header.dataSize = ReadLe32(p + 40);
    return header;
}

bool WriteOpenSoundFileHeader(std::FILE* file) {
    if (file == nullptr)
        return false;
    const auto bytes = SoundFileHeader{}.Encode();
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool FinishSoundFile(std::FILE* file, std::uint16_t channels, std::uint32_t sampleRate) {
    if (file == nullptr || std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    SoundFileHeader header;
    header.channels = channels;
    header.sampleRate = sampleRate;
    auto bytes = header.Encode();
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fseek(file, 0, SEEK_END) != 0)
        return false;
    const long length = std::ftell(file);
    if (length < 0)
        return false; // the sizes stay 0, as for a file that was never finished
    if (length == 0)
        return true;
    header.SetFileLength(length);
    bytes = header.Encode();
    if (std::fseek(file, 4, SEEK_SET) != 0 || std::fwrite(bytes.data() + 4, 1, 4, file) != 4 ||
        std::fseek(file, 40, SEEK_SET) != 0 || std::fwrite(bytes.data() + 40, 1, 4, file) != 4)
        return false;
    return std::fseek(file, 0, SEEK_END) == 0;
}

} // namespace fz
