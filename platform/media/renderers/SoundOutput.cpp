#include "platform/media/renderers/SoundOutput.h"

#include <algorithm>
#include <cstring>

namespace fz::media {

namespace {
constexpr int kBufferCount = 8;
constexpr std::uint32_t kBuffersPerSecond = 20; // 50 ms each
} // namespace

SoundOutput::~SoundOutput() {
    Close();
}

void SoundOutput::Callback(audio::HWAVEOUT, std::uint32_t message, std::uintptr_t instance,
                           std::uintptr_t param1, std::uintptr_t) {
    if (message != audio::kWomDone)
        return;
    auto* self = reinterpret_cast<SoundOutput*>(instance);
    const auto* header = reinterpret_cast<const audio::WaveHeader*>(param1);
    {
        std::lock_guard lock(self->m_mutex);
        self->m_free.push_back(static_cast<int>(header->user));
    }
    self->m_changed.notify_all();
}

audio::MMRESULT SoundOutput::Open(const audio::WaveFormat& format) {
    Close();
    const std::uint32_t bytesPerSecond = format.samplesPerSec * format.blockAlign;
    const std::uint32_t align = std::max<std::uint32_t>(format.blockAlign, 1);
    const std::uint32_t size =
        std::max<std::uint32_t>(bytesPerSecond / kBuffersPerSecond / align, 1) * align;
    {
        std::lock_guard lock(m_mutex);
        m_format = format;
        m_buffers.assign(kBufferCount, std::vector<std::uint8_t>(size));
        m_headers.assign(kBufferCount, audio::WaveHeader{});
        m_free.clear();
        for (int i = 0; i < kBufferCount; ++i) {
            m_headers[i].data = m_buffers[i].data();
            m_headers[i].user = static_cast<std::uintptr_t>(i);
            m_free.push_back(i);
        }
        m_filling = -1;
        m_fill = 0;
        m_written = 0;
        m_aborted = false;
        m_paused = true;
    }
    audio::HWAVEOUT device = nullptr;
    const audio::MMRESULT result =
        audio::WaveOutOpen(&device, audio::kWaveMapper, &format, &SoundOutput::Callback,
                           reinterpret_cast<std::uintptr_t>(this), audio::kCallbackFunction);
    if (result != audio::MMSYSERR_NOERROR)
        return result;
    audio::WaveOutPause(device);
    std::lock_guard lock(m_mutex);
    m_device = device;
    return result;
}

void SoundOutput::Close() {
    audio::HWAVEOUT device;
    {
        std::lock_guard lock(m_mutex);
        device = m_device;
        m_device = nullptr;
        m_aborted = true;
    }
    m_changed.notify_all();
    if (!device)
        return;
    audio::WaveOutReset(device);
    for (auto& header : m_headers)
        audio::WaveOutUnprepareHeader(device, &header, sizeof header);
    audio::WaveOutClose(device);
}

bool SoundOutput::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_device != nullptr;
}

bool SoundOutput::WaitForFreeBuffer(std::unique_lock<std::mutex>& lock) {
    m_changed.wait(lock, [&] { return m_aborted || !m_device || !m_free.empty(); });
    return !m_aborted && m_device;
}

bool SoundOutput::QueueFilling(std::unique_lock<std::mutex>& lock) {
    if (m_filling < 0 || m_fill == 0)
        return true;
    auto& header = m_headers[static_cast<std::size_t>(m_filling)];
    header.bufferLength = m_fill;
    header.flags = 0;
    m_written += m_fill;
    m_filling = -1;
    m_fill = 0;
    audio::HWAVEOUT device = m_device;
    lock.unlock();
    audio::WaveOutPrepareHeader(device, &header, sizeof header);
    const bool queued =
        audio::WaveOutWrite(device, &header, sizeof header) == audio::MMSYSERR_NOERROR;
    lock.lock();
    if (!queued)
        m_free.push_back(static_cast<int>(header.user));
    return queued;
}

bool SoundOutput::Write(const std::uint8_t* data, std::size_t bytes) {
    std::unique_lock lock(m_mutex);
    while (bytes > 0) {
        if (m_aborted || !m_device)
            return false;
        if (m_filling < 0) {
            if (!WaitForFreeBuffer(lock))
                return false;
            m_filling = m_free.back();
            m_free.pop_back();
            m_fill = 0;
        }
        auto& buffer = m_buffers[static_cast<std::size_t>(m_filling)];
        const std::size_t n = std::min<std::size_t>(bytes, buffer.size() - m_fill);
        if (data)
            std::memcpy(buffer.data() + m_fill, data, n);
        else
            std::memset(buffer.data() + m_fill, m_format.bitsPerSample == 8 ? 0x80 : 0, n);
        m_fill += static_cast<std::uint32_t>(n);
        if (data)
            data += n;
        bytes -= n;
        if (m_fill == buffer.size() && !QueueFilling(lock))
            return false;
    }
    return true;
}

bool SoundOutput::WriteSilence(std::size_t bytes) {
    const std::size_t align = std::max<std::uint16_t>(m_format.blockAlign, 1);
    return Write(nullptr, bytes / align * align);
}

bool SoundOutput::WaitUntilPlayed() {
    std::unique_lock lock(m_mutex);
    if (m_aborted || !m_device)
        return false;
    // A partial sample frame at the end cannot play; it is dropped with the rest.
    const std::uint32_t align = std::max<std::uint16_t>(m_format.blockAlign, 1);
    m_fill -= m_fill % align;
    if (!QueueFilling(lock))
        return false;
    m_changed.wait(lock,
                   [&] { return m_aborted || !m_device || m_free.size() == m_buffers.size(); });
    return !m_aborted && m_device;
}

void SoundOutput::Pause() {
    std::lock_guard lock(m_mutex);
    m_paused = true;
    if (m_device)
        audio::WaveOutPause(m_device);
}

void SoundOutput::Resume() {
    std::lock_guard lock(m_mutex);
    m_paused = false;
    if (m_device)
        audio::WaveOutRestart(m_device);
}

void SoundOutput::Abort() {
    audio::HWAVEOUT device;
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
        device = m_device;
    }
    m_changed.notify_all();
    if (device)
        audio::WaveOutReset(device); // every queued buffer comes back through the callback
    std::lock_guard lock(m_mutex);
    if (m_filling >= 0)
        m_free.push_back(m_filling);
    m_filling = -1;
    m_fill = 0;
    m_written = 0;
}

void SoundOutput::Allow() {
    std::lock_guard lock(m_mutex);
    m_aborted = false;
}

std::uint64_t SoundOutput::WrittenBytes() const {
    std::lock_guard lock(m_mutex);
    return m_written;
}

std::uint64_t SoundOutput::PlayedBytes() const {
    std::lock_guard lock(m_mutex);
    std::uint64_t played = 0;
    if (m_device)
        audio::WaveOutGetPosition(m_device, &played);
    return std::min(played, m_written);
}

bool SoundOutput::Flowing() const {
    std::lock_guard lock(m_mutex);
    if (!m_device || m_paused)
        return false;
    std::uint64_t played = 0;
    audio::WaveOutGetPosition(m_device, &played);
    return m_written > played;
}

} // namespace fz::media
