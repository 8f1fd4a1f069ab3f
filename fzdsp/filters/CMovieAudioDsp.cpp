#include "fzdsp/filters/CMovieAudioDsp.h"

#include "fzdsp/filters/AudioConversion.h"
#include "fzdsp/filters/MovieDspIdentifiers.h"
#include "fzdsp/filters/OutputBufferRequest.h"
#include "fzdsp/formats/SoundFileHeader.h"
#include "platform/fs/DriveC.h"
#include "platform/media/base/MediaSample.h"
#include "platform/time/TickCount.h"

#include <algorithm>
#include <limits>
#include <new>

namespace fz::dsp {

using namespace media;
using com::E_FAIL;
using com::E_INVALIDARG;
using com::E_POINTER;
using com::E_UNEXPECTED;
using com::S_OK;

CMovieAudioDsp::CMovieAudioDsp(IUnknown* outer)
    : CTransformFilter(kMovieAudioDspName, outer, CLSID_MovieAudioDsp) {}

CMovieAudioDsp::~CMovieAudioDsp() {
    Close(nullptr);
}

HRESULT CMovieAudioDsp::NonDelegatingQueryInterface(const com::IID& iid, void** object) {
    if (iid == IMovieAudioDsp::kIid)
        return com::GetInterface(static_cast<IMovieAudioDsp*>(this), object);
    return CTransformFilter::NonDelegatingQueryInterface(iid, object);
}

// --- media types and buffers ---

HRESULT CMovieAudioDsp::CheckInputType(const CMediaType* in) {
    if (in == nullptr)
        return E_POINTER;
    if (*in->FormatType() != FORMAT_WaveFormatEx)
        return E_INVALIDARG;
    if (m_outputRate.load() == 0 || m_status.load() == nullptr)
        return E_FAIL;
    if (*in->Type() != MEDIATYPE_Audio || *in->Subtype() != MEDIASUBTYPE_PCM)
        return E_FAIL;
    const WAVEFORMATEX* format = in->WaveFormat();
    if (format == nullptr)
        return E_INVALIDARG;
    // A rate of 0 would leave the output without a rate and the filter refusing its own type.
    if (format->nSamplesPerSec == 0 ||
        format->nSamplesPerSec > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
        return E_FAIL;
    m_inputFormat = *format;
    m_outputRate.store(static_cast<std::int32_t>(format->nSamplesPerSec));
    return S_OK;
}

HRESULT CMovieAudioDsp::CheckTransform(const CMediaType* in, const CMediaType* out) {
    if (in == nullptr || out == nullptr)
        return E_POINTER;
    const HRESULT input = CheckInputType(in);
    if (com::Failed(input))
        return input;
    if (*out->FormatType() != FORMAT_WaveFormatEx || in->FormatLength() < sizeof(WAVEFORMATEX) ||
        out->FormatLength() < sizeof(WAVEFORMATEX))
        return E_INVALIDARG;
    const WAVEFORMATEX& format = *out->WaveFormat();
    if (m_formatSet && format.wFormatTag == WAVE_FORMAT_PCM &&
        format.nChannels == m_outputChannels &&
        format.nSamplesPerSec == static_cast<std::uint32_t>(m_outputRate.load()) &&
        format.wBitsPerSample == 16)
        return S_OK;
    return E_INVALIDARG;
}

HRESULT CMovieAudioDsp::DecideBufferSize(IMemAllocator* allocator,
                                         ALLOCATOR_PROPERTIES* properties) {
    if (allocator == nullptr || properties == nullptr)
        return E_POINTER;
    if (!m_input->IsConnected())
        return E_UNEXPECTED;
    return RequestOneOutputBuffer(allocator, *properties, m_input->CurrentMediaType(),
                                  static_cast<long>(m_outputRate.load()) * 2 * m_outputChannels +
                                      512);
}

HRESULT CMovieAudioDsp::GetMediaType(int position, CMediaType* type) {
    if (!m_input->IsConnected())
        return E_UNEXPECTED;
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    if (type == nullptr)
        return E_POINTER;
    if (!m_formatSet)
        return E_INVALIDARG;
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<std::uint16_t>(m_outputChannels);
    format.nSamplesPerSec = static_cast<std::uint32_t>(m_outputRate.load());
    format.nBlockAlign = static_cast<std::uint16_t>(m_outputChannels * 16 / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    *type = CMediaType();
    type->SetType(MEDIATYPE_Audio);
    type->SetSubtype(MEDIASUBTYPE_PCM);
    type->SetFormatType(FORMAT_WaveFormatEx);
    if (!type->SetFormat(&format, sizeof format))
        return com::E_OUTOFMEMORY;
    type->SetSampleSize(format.nAvgBytesPerSec);
    return S_OK;
}

// --- samples ---

HRESULT CMovieAudioDsp::Transform(IMediaSample* in, IMediaSample* out) {
    if (in == nullptr || out == nullptr)
        return E_POINTER;
    std::uint8_t* output = nullptr;
    if (com::Failed(out->GetPointer(&output)) || output == nullptr)
        return E_POINTER;
    long outputLength = 0;
    const HRESULT converted = ConvertAndRecord(
        in, output, static_cast<std::size_t>(std::max(out->GetSize(), 0L)), &outputLength);
    if (com::Failed(converted))
        return converted;

    const HRESULT copied = CopySampleProperties(in, out);
    if (com::Failed(copied))
        return copied;
    // The input's own type describes 8-bit or other-channel PCM: it does not travel on with
    // the converted samples.
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT timeQuery = in->GetTime(&start, &stop);
    if (timeQuery == S_OK || timeQuery == VFW_S_NO_STOP_TIME)
        m_lastSampleTime.store(start);
    out->SetActualDataLength(outputLength);
    return S_OK;
}

HRESULT CMovieAudioDsp::ConvertAndRecord(IMediaSample* in, std::uint8_t* output,
                                         std::size_t outputSize, long* outputLength) {
    std::uint8_t* input = nullptr;
    if (com::Failed(in->GetPointer(&input)) || input == nullptr)
        return E_POINTER;
    // Never more than the buffer holds, whatever the sample claims.
    std::size_t bytes = static_cast<std::size_t>(
        std::clamp(in->GetActualDataLength(), 0L, std::max(in->GetSize(), 0L)));

    std::lock_guard lock(m_lock);
    const std::uint8_t* data = input;
    if (m_inputFormat.wBitsPerSample == 8) {
        try {
            if (m_widened.size() < 2 * bytes)
                m_widened.resize(2 * bytes);
        } catch (const std::bad_alloc&) {
            return com::E_OUTOFMEMORY;
        }
        WidenPcm8To16(input, bytes, m_widened.data());
        data = m_widened.data();
        bytes *= 2;
    }
    const std::size_t length = ChannelStepLength(bytes, m_inputFormat.nChannels, m_outputChannels);
    if (length > outputSize)
        return E_FAIL;
    ApplyChannelStep(data, bytes, m_inputFormat.nChannels, m_outputChannels, output);
    ApplyGain(output, length, m_gain);

    StreamSyncRecord* status = m_status.load();
    if (m_file != nullptr && status != nullptr) {
        REFERENCE_TIME start = 0;
        REFERENCE_TIME stop = 0;
        const HRESULT timeQuery = in->GetTime(&start, &stop);
        const bool timed = timeQuery == S_OK || timeQuery == VFW_S_NO_STOP_TIME;
        const auto nowMs = static_cast<std::int32_t>(
            timed ? start / kUnitsPerMs : static_cast<std::int64_t>(time::TimeGetTime()));
        if (Load(status->audioStarted) == 0) {
            Store(status->audioFirstTime, nowMs);
            Store(status->videoOffset, 0);
            Store(status->audioClosed, 0);
        }
        Store(status->audioLastTime, nowMs);
        Store(status->audioStarted, 1);
        if (Load(status->audioClosed) == 0 && length > 0)
            std::fwrite(output, 1, length, m_file);
    }
    *outputLength = static_cast<long>(length);
    return S_OK;
}

// --- control interface ---

HRESULT CMovieAudioDsp::SetAudioFormat(int rate, int bitrate, unsigned channels) {
    m_outputRate.store(rate);
    m_bitRate = bitrate;
    m_outputChannels = channels == 0 ? 1 : channels > 2 ? 2 : static_cast<std::int32_t>(channels);
    m_formatSet = 1;
    return S_OK;
}

HRESULT CMovieAudioDsp::GetAudioFormat(int* rate, int* channels) {
    if (rate != nullptr)
        *rate = m_outputRate.load();
    if (channels != nullptr)
        *channels = m_outputChannels;
    return S_OK;
}

HRESULT CMovieAudioDsp::SetFileName(const char* name) {
    std::lock_guard lock(m_lock);
    m_fileName = name != nullptr ? name : "";
    return S_OK;
}

HRESULT CMovieAudioDsp::SetPreviewMode(int flag) {
    m_previewMode = flag;
    return S_OK;
}

HRESULT CMovieAudioDsp::Open() {
    Close(nullptr);
    std::lock_guard lock(m_lock);
    const std::string path = fs::HostPath(m_fileName);
    // A sound file that cannot be created leaves the filter converting only.
    m_file = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    // The provisional header reaches the disk at once: a recording that is never closed still
    // starts with a header that says its sizes are unknown.
    if (m_file != nullptr && WriteOpenSoundFileHeader(m_file))
        std::fflush(m_file);
    return S_OK;
}

HRESULT CMovieAudioDsp::Close(int* lengthMs) {
    std::lock_guard lock(m_lock);
    if (m_file != nullptr) {
        FinishSoundFile(m_file, static_cast<std::uint16_t>(m_outputChannels),
                        static_cast<std::uint32_t>(m_outputRate.load()));
        std::fclose(m_file);
        m_file = nullptr;
    }
    std::vector<std::uint8_t>().swap(m_widened);
    if (StreamSyncRecord* status = m_status.load()) {
        Store(status->audioStarted, 0);
        Store(status->audioClosed, 1);
        if (lengthMs != nullptr) {
            const std::int32_t first = Load(status->audioFirstTime);
            *lengthMs = first == 0 ? 0 : Load(status->audioLastTime) - first;
        }
        Store(status->videoOffset, 0);
        Store(status->audioFirstTime, 0);
    }
    return S_OK;
}

HRESULT CMovieAudioDsp::SetGain(int decibels) {
    m_gain = decibels;
    return S_OK;
}

HRESULT CMovieAudioDsp::SetStatusRecord(StreamSyncRecord* record) {
    m_status.store(record);
    return S_OK;
}

HRESULT CMovieAudioDsp::GetLastSampleTime(std::int64_t* time) {
    if (time != nullptr)
        *time = m_lastSampleTime.load();
    return S_OK;
}

} // namespace fz::dsp
