#include "fzdsp/formats/FrameRecord.h"

#include "platform/bytes/LittleEndian.h"

#include <array>
#include <limits>

namespace fz {
namespace {

bool WriteAll(std::FILE* file, const std::uint8_t* data, std::size_t size) {
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

} // namespace

void EncodeFrameRecordHeader(const FrameRecordHeader& header,
                             std::span<std::uint8_t, kFrameRecordHeaderSize> out) {
    WriteLe32(out.data(), static_cast<std::uint32_t>(header.timeStampMs));
    WriteLe32(out.data() + 4, static_cast<std::uint32_t>(header.length));
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
    WriteLe32(stamped.data(), static_cast<std::uint32_t>(length));

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
    const std::int32_t length = static_cast<std::int32_t>(ReadLe32(record + 4));
    if (length < static_cast<std::int32_t>(kMinFrameImageSize) ||
        static_cast<std::size_t>(length) > remaining - kFrameRecordHeaderSize) {
        m_damaged = true;
        return std::nullopt;
    }
    FrameRecordView view;
    view.offset = m_position;
    view.timeStampMs = static_cast<std::int32_t>(ReadLe32(record));
    view.image =
        m_bytes.subspan(m_position + kFrameRecordHeaderSize, static_cast<std::size_t>(length));
    m_position += kFrameRecordHeaderSize + static_cast<std::size_t>(length);
    return view;
}

} // namespace fz
