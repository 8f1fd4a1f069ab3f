#include "platform/media/base/MediaTypes.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace fz::media {

std::uint32_t BitmapImageSize(std::int32_t width, std::int32_t height, int bitCount) {
    if (width < 0 || bitCount <= 0)
        return 0;
    const std::uint64_t rowBits = static_cast<std::uint64_t>(width) * bitCount;
    const std::uint64_t rowBytes = ((rowBits + 31) / 32) * 4;
    const std::uint64_t rows =
        height < 0 ? -static_cast<std::int64_t>(height) : static_cast<std::uint64_t>(height);
    const std::uint64_t size = rowBytes * rows;
    return size > std::numeric_limits<std::uint32_t>::max() ? 0 : static_cast<std::uint32_t>(size);
}

std::uint8_t* AllocFormatBlock(std::uint32_t size) {
    if (size == 0)
        return nullptr;
    return static_cast<std::uint8_t*>(std::calloc(size, 1));
}

void FreeMediaType(AM_MEDIA_TYPE& type) {
    std::free(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (!target || !source)
        return com::E_POINTER;
    *target = *source;
    target->pbFormat = nullptr;
    target->cbFormat = 0;
    if (target->pUnk)
        target->pUnk->AddRef();
    if (source->cbFormat && source->pbFormat) {
        target->pbFormat = AllocFormatBlock(source->cbFormat);
        if (!target->pbFormat)
            return com::E_OUTOFMEMORY;
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
        target->cbFormat = source->cbFormat;
    }
    return com::S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    if (!source)
        return nullptr;
    auto* copy = new (std::nothrow) AM_MEDIA_TYPE;
    if (!copy)
        return nullptr;
    if (CopyMediaType(copy, source) != com::S_OK) {
        DeleteMediaType(copy);
        return nullptr;
    }
    return copy;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return;
    FreeMediaType(*type);
    delete type;
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype ||
        a.cbFormat != b.cbFormat)
        return false;
    if (a.cbFormat == 0)
        return true;
    if (!a.pbFormat || !b.pbFormat)
        return a.pbFormat == b.pbFormat;
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other)
    : AM_MEDIA_TYPE() {
    CopyMediaType(this, &other);
}

CMediaType::CMediaType(const CMediaType& other)
    : AM_MEDIA_TYPE() {
    CopyMediaType(this, &other);
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
    return *this = static_cast<const AM_MEDIA_TYPE&>(other);
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other) {
    if (&other == this)
        return *this;
    FreeMediaType(*this);
    CopyMediaType(this, &other);
    return *this;
}

CMediaType::~CMediaType() {
    FreeMediaType(*this);
}

void CMediaType::SetSampleSize(std::uint32_t size) {
    lSampleSize = size;
    bFixedSizeSamples = size ? 1 : 0;
}

void CMediaType::SetVariableSize() {
    lSampleSize = 0;
    bFixedSizeSamples = 0;
}

bool CMediaType::SetFormat(const void* data, std::uint32_t size) {
    std::uint8_t* block = AllocFormatBuffer(size);
    if (size && !block)
        return false;
    if (size && data)
        std::memcpy(block, data, size);
    return true;
}

std::uint8_t* CMediaType::AllocFormatBuffer(std::uint32_t size) {
    std::free(pbFormat);
    pbFormat = AllocFormatBlock(size);
    cbFormat = pbFormat ? size : 0;
    return pbFormat;
}

void CMediaType::ResetFormatBuffer() {
    std::free(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}

const VIDEOINFOHEADER* CMediaType::VideoInfo() const {
    if (formattype != FORMAT_VideoInfo || cbFormat < sizeof(VIDEOINFOHEADER) || !pbFormat)
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(pbFormat);
}

const WAVEFORMATEX* CMediaType::WaveFormat() const {
    if (formattype != FORMAT_WaveFormatEx || cbFormat < sizeof(WAVEFORMATEX) || !pbFormat)
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(pbFormat);
}

CMediaType MakeVideoType(const GUID& subtype, std::int32_t width, std::int32_t height,
                         REFERENCE_TIME avgTimePerFrame) {
    CMediaType type;
    type.SetType(MEDIATYPE_Video);
    type.SetSubtype(subtype);
    type.SetFormatType(FORMAT_VideoInfo);
    const int bits = subtype == MEDIASUBTYPE_RGB32 ? 32 : 24;
    VIDEOINFOHEADER info;
    info.AvgTimePerFrame = avgTimePerFrame;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<std::uint16_t>(bits);
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = BitmapImageSize(width, height, bits);
    type.SetFormat(&info, sizeof info);
    type.SetSampleSize(info.bmiHeader.biSizeImage);
    return type;
}

CMediaType MakePcmType(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
    CMediaType type;
    type.SetType(MEDIATYPE_Audio);
    type.SetSubtype(MEDIASUBTYPE_PCM);
    type.SetFormatType(FORMAT_WaveFormatEx);
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = bits;
    type.SetFormat(&format, sizeof format);
    type.SetVariableSize();
    return type;
}

} // namespace fz::media
