#include "platform/media/ffmpeg/FfmpegOutputPin.h"

#include "platform/media/ffmpeg/FfmpegSourceFilter.h"
#include "platform/media/ffmpeg/LazyPictureSample.h"

#include <algorithm>
#include <cstring>

namespace fz::media::ffmpeg {

using com::ComPtr;
using com::S_OK;

CFfmpegOutputPin::CFfmpegOutputPin(CFfmpegSourceFilter* filter, MediaReader& reader,
                                   SourceStream stream, const CMediaType& type)
    : CBaseOutputPin(filter, stream == SourceStream::Video ? "Video" : "Audio")
    , m_reader(reader)
    , m_stream(stream)
    , m_offered(type) {}

CFfmpegOutputPin::~CFfmpegOutputPin() {
    if (m_thread.joinable())
        m_thread.join();
}

HRESULT CFfmpegOutputPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return com::E_POINTER;
    return MediaTypesEqual(*type, m_offered) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFfmpegOutputPin::GetMediaType(int position, CMediaType* type) {
    if (!type)
        return com::E_POINTER;
    if (position < 0)
        return com::E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    *type = m_offered;
    return S_OK;
}

HRESULT CFfmpegOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                           ALLOCATOR_PROPERTIES* properties) {
    if (!allocator || !properties)
        return com::E_POINTER;
    ALLOCATOR_PROPERTIES request = *properties;
    long size;
    if (m_stream == SourceStream::Video) {
        size = static_cast<long>(m_reader.Converter()->ImageSize());
        request.cBuffers = std::max(request.cBuffers, 3L);
    } else {
        const AudioStreamDecoder& audio = *m_reader.Audio();
        size = static_cast<long>(audio.BlockAlign()) * std::max(1024, audio.SampleRate() / 20);
        request.cBuffers = std::max(request.cBuffers, 16L);
    }
    request.cbBuffer = std::max(request.cbBuffer, size);
    request.cbAlign = std::max(request.cbAlign, 1L);
    ALLOCATOR_PROPERTIES actual;
    const HRESULT result = allocator->SetProperties(&request, &actual);
    if (com::Failed(result))
        return result;
    if (actual.cBuffers < 1 || actual.cbBuffer < size)
        return com::E_FAIL;
    return S_OK;
}

void CFfmpegOutputPin::StartStreaming(REFERENCE_TIME segmentStart, REFERENCE_TIME segmentStop) {
    JoinStreaming();
    m_segmentStart = segmentStart;
    m_segmentStop = segmentStop;
    m_delivered = -1;
    m_thread = std::thread([this] {
        DeliverNewSegment(m_segmentStart, m_segmentStop, 1.0);
        if (m_stream == SourceStream::Video)
            StreamPictures();
        else
            StreamSound();
    });
}

void CFfmpegOutputPin::JoinStreaming() {
    if (m_thread.joinable())
        m_thread.join();
}

REFERENCE_TIME CFfmpegOutputPin::DeliveredUpTo(REFERENCE_TIME fallback) const {
    const REFERENCE_TIME delivered = m_delivered.load();
    return delivered < 0 ? fallback : delivered;
}

void CFfmpegOutputPin::StreamPictures() {
    const std::shared_ptr<PictureConverter>& converter = m_reader.Converter();
    const auto imageSize = static_cast<long>(converter->ImageSize());
    for (;;) {
        DecodedPicture picture;
        const DecodeResult decoded = m_reader.NextPicture(picture);
        if (decoded == DecodeResult::Aborted)
            return;
        if (decoded == DecodeResult::End) {
            DeliverEndOfStream();
            return;
        }
        ComPtr<IMediaSample> sample;
        if (GetDeliveryBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0) != S_OK)
            return; // decommitted: the filter stops
        if (sample->GetSize() < imageSize) {
            Filter()->NotifyEvent(EC_ERRORABORT, VFW_E_BUFFER_OVERFLOW, 0);
            return;
        }
        REFERENCE_TIME start = picture.start;
        REFERENCE_TIME stop = picture.stop;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(true);
        sample->SetPreroll(false);
        sample->SetDiscontinuity(picture.discontinuity);
        sample->SetActualDataLength(imageSize);
        ComPtr<IMediaSample> lazy;
        lazy.Attach(
            new CLazyPictureSample(sample.Get(), LazyPicture(std::move(picture.frame), converter)));
        sample.Reset();
        const HRESULT delivered = Deliver(lazy.Get());
        m_delivered = stop;
        if (delivered != S_OK)
            return;
    }
}

void CFfmpegOutputPin::StreamSound() {
    const AudioStreamDecoder& audio = *m_reader.Audio();
    const auto align = static_cast<std::size_t>(audio.BlockAlign());
    const int rate = audio.SampleRate();
    for (;;) {
        PcmBlock block;
        const DecodeResult decoded = m_reader.NextSound(block);
        if (decoded == DecodeResult::Aborted)
            return;
        if (decoded == DecodeResult::End) {
            DeliverEndOfStream();
            return;
        }
        const std::size_t total = block.bytes.size();
        for (std::size_t offset = 0; offset < total;) {
            ComPtr<IMediaSample> sample;
            if (GetDeliveryBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0) != S_OK)
                return;
            std::uint8_t* target = nullptr;
            const std::size_t room =
                static_cast<std::size_t>(std::max(0L, sample->GetSize())) / align * align;
            if (room == 0 || sample->GetPointer(&target) != S_OK || !target) {
                Filter()->NotifyEvent(EC_ERRORABORT, VFW_E_BUFFER_OVERFLOW, 0);
                return;
            }
            const std::size_t count = std::min(room, total - offset);
            std::memcpy(target, block.bytes.data() + offset, count);
            REFERENCE_TIME start =
                block.start +
                av_rescale(static_cast<std::int64_t>(offset / align), kUnitsPerSecond, rate);
            REFERENCE_TIME stop =
                offset + count == total
                    ? block.stop
                    : block.start + av_rescale(static_cast<std::int64_t>((offset + count) / align),
                                               kUnitsPerSecond, rate);
            sample->SetTime(&start, &stop);
            sample->SetSyncPoint(true);
            sample->SetPreroll(false);
            sample->SetDiscontinuity(block.discontinuity && offset == 0);
            sample->SetActualDataLength(static_cast<long>(count));
            const HRESULT delivered = Deliver(sample.Get());
            m_delivered = stop;
            if (delivered != S_OK)
                return;
            offset += count;
        }
    }
}

} // namespace fz::media::ffmpeg
