#include "fzdsp/formats/FrameRecord.h"

#include <array>
#include <limits>

namespace fz {
namespace {

void PutLe32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
    out[3] = static_cast<std::uint8_t>(value >> 24);
}

std::int32_t GetLe32(const std::uint8_t* in) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
        static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24);
}

bool WriteAll(std::FILE* file, const std::uint8_t* data, std::size_t size) {
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

} // namespace

void EncodeFrameRecordHeader(const FrameRecordHeader& header,
                             std::span<std::uint8_t, kFrameRecordHeaderSize> out) {
    PutLe32(out.data(), static_cast<std::uint32_t>(header.timeStampMs));
    PutLe32(out.data() + 4, static_cast<std::uint32_t>(header.length));
}

bool AppendFrameRecord(std::FILE* file, std::int32_t timeStampMs,
                       std::span<const std::uint8_t> image) {
    if (file == nullptr || image.size() < kMinFrameImageSize ||
        image.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    const auto length = static_cast<std::int32_t>(image.size());

    std::array<std::uint8_t, kFrameRecordHeaderSize> header{};
    EncodeFrameRecordHeader({timeStampMs, length}, header);
    std::array<std::uint8_t, 4> stamped{};
    PutLe32(stamped.data(), static_cast<std::uint32_t>(length));

    const std::uint8_t* data = image.data();
    const std::size_t tail = kJpegLengthOffset + stamped.size();
    bool ok = WriteAll(file, header.data(), header.size()) &&
              WriteAll(file, data, kJpegLengthOffset) &&
              WriteAll(file, stamped.data(), stamped.size()) &&
              WriteAll(file, data + tail, image.size() - tail);
    return std::fflush(file) == 0 && ok;
}

std::optional<FrameRecordView> FrameRecordReader::Next() {
    if (m_damaged || m_position == m_bytes.size())
        return std::nullopt;
    const std::size_t remaining = m_bytes.size() - m_position;
    const std::uint8_t* record = m_bytes.data() + m_position;
    if (remaining < kFrameRecordHeaderSize) {
        m_damaged = true;
        return std::nullopt;
    }
    const std::int32_t length = GetLe32(record + 4);
    if (length < static_cast<std::int32_t>(kMinFrameImageSize) ||
        static_cast<std::size_t>(length) > remaining - kFrameRecordHeaderSize) {
        m_damaged = true;
        return std::nullopt;
    }
    FrameRecordView view;
    view.offset = m_position;
    view.timeStampMs = GetLe32(record);
    view.image =
        m_bytes.subspan(m_position + kFrameRecordHeaderSize, static_cast<std::size_t>(length));
    m_position += kFrameRecordHeaderSize + static_cast<std::size_t>(length);
    return view;
}

} // namespace fz
