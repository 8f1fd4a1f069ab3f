#include "platform/audio/WaveOut.h"

#include "platform/audio/WaveOutBackend.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace fz::audio {

// The device: a queue of written buffers that its thread feeds to the backend, and the
// buffers that have played, handed back in order through the callback. One mutex guards
// everything; the callback always runs without it, one buffer at a time (m_delivering), so
// that the buffers come back in queue order whichever thread hands them back.
struct WaveOutDevice {
    struct Queued {
        WaveHeader* header;
        std::size_t frames;         // whole frames of the buffer
        std::size_t fed = 0;        // frames handed to the backend
        std::uint64_t endFrame = 0; // the backend's count when its last frame was handed over
    };

    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<WaveOutBackend> backend;
    WaveFormat format;
    WaveOutProc callback = nullptr;
    std::uintptr_t instance = 0;
    std::deque<Queued> queue;     // written, not yet back; fed from the front
    std::deque<WaveHeader*> done; // back, callback not yet run
    std::uint64_t written = 0;    // frames handed to the backend since open or reset
    std::uint64_t played = 0;     // frames played, as last read from the backend
    bool paused = false;
    bool failed = false; // the backend failed for good: everything counts as played
    bool closing = false;
    bool delivering = false;
    std::thread thread;

    void Run();
    void Feed();
    void Complete();
    // Runs the callback for the buffers in `done`; with `all`, until none is left even when
    // another thread is delivering (waits for it).
    void Deliver(std::unique_lock<std::mutex>& lock, bool all);
    void Notify(std::uint32_t message, std::uintptr_t param1) {
        if (callback)
            callback(this, message, instance, param1, 0);
    }
};

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(4);

// The device whose kWomDone callback the calling thread is running, if any: a reset or close
// of that device from inside its own callback would wait for itself.
thread_local const WaveOutDevice* t_inCallbackOf = nullptr;

struct DeviceTable {
    std::mutex mutex;
    std::map<WaveOutDevice*, std::shared_ptr<WaveOutDevice>> open;
};

DeviceTable& Devices() {
    static DeviceTable* table = new DeviceTable;
    return *table;
}

std::shared_ptr<WaveOutDevice> Find(HWAVEOUT handle) {
    auto& table = Devices();
    std::lock_guard lock(table.mutex);
    auto it = table.open.find(handle);
    return it == table.open.end() ? nullptr : it->second;
}

bool ValidHeader(const WaveHeader* header, std::uint32_t headerSize) {
    return header && headerSize >= sizeof(WaveHeader);
}

} // namespace

void WaveOutDevice::Feed() {
    if (paused)
        return;
    for (Queued& q : queue) {
        if (q.fed == q.frames) {
            continue;
        }
        while (q.fed < q.frames) {
            long n = failed ? static_cast<long>(q.frames - q.fed)
                            : backend->Write(q.header->data + q.fed * format.blockAlign,
                                             q.frames - q.fed);
            if (n < 0) {
                failed = true;
                continue;
            }
            if (n == 0)
                return;
            q.fed += static_cast<std::size_t>(n);
            written += static_cast<std::uint64_t>(n);
        }
        q.endFrame = written;
    }
    if (!failed && written > played)
        backend->Flush();
}

void WaveOutDevice::Complete() {
    played = failed ? written : backend->PlayedFrames();
    while (!queue.empty() && queue.front().fed == queue.front().frames &&
           queue.front().endFrame <= played) {
        WaveHeader* header = queue.front().header;
        header->flags = (header->flags & ~kWhdrInQueue) | kWhdrDone;
        done.push_back(header);
        queue.pop_front();
    }
}

void WaveOutDevice::Deliver(std::unique_lock<std::mutex>& lock, bool all) {
    for (;;) {
        if (delivering) {
            if (!all)
                return;
            changed.wait(lock);
            continue;
        }
        if (done.empty())
            return;
        WaveHeader* header = done.front();
        done.pop_front();
        delivering = true;
        lock.unlock();
        t_inCallbackOf = this;
        Notify(kWomDone, reinterpret_cast<std::uintptr_t>(header));
        t_inCallbackOf = nullptr;
        lock.lock();
        delivering = false;
        changed.notify_all();
    }
}

void WaveOutDevice::Run() {
    std::unique_lock lock(mutex);
    while (!closing) {
        Feed();
        Complete();
        if (!done.empty()) {
            // While another thread (a reset) hands buffers back, wait for it instead of
            // spinning with the lock held, which would keep that thread from taking it again.
            if (delivering) {
                changed.wait(lock);
                continue;
            }
            Deliver(lock, false);
            continue;
        }
        if (queue.empty() || paused)
            changed.wait(lock);
        else
            changed.wait_for(lock, kPollInterval);
    }
}

MMRESULT WaveOutOpen(HWAVEOUT* device, std::uint32_t deviceId, const WaveFormat* format,
                     WaveOutProc callback, std::uintptr_t instance, std::uint32_t flags) {
    if (!format)
        return MMSYSERR_INVALPARAM;
    if (deviceId != kWaveMapper && deviceId != 0)
        return MMSYSERR_BADDEVICEID;
    const std::uint32_t callbackKind = flags & 0x00070000;
    if ((callbackKind != kCallbackNull && callbackKind != kCallbackFunction) ||
        (flags & ~(0x00070000u | kWaveFormatQuery)) != 0)
        return MMSYSERR_INVALFLAG;
    if (const MMRESULT check = CheckWaveFormat(*format); check != MMSYSERR_NOERROR)
        return check;
    if (flags & kWaveFormatQuery)
        return MMSYSERR_NOERROR;
    if (!device)
        return MMSYSERR_INVALPARAM;
    *device = nullptr;
    MMRESULT error = MMSYSERR_NODRIVER;
    auto backend = OpenWaveOutBackend(*format, &error);
    if (!backend)
        return error;
    auto object = std::make_shared<WaveOutDevice>();
    object->backend = std::move(backend);
    object->format = *format;
    if (callbackKind == kCallbackFunction) {
        object->callback = callback;
        object->instance = instance;
    }
    object->thread = std::thread([raw = object.get()] { raw->Run(); });
    {
        auto& table = Devices();
        std::lock_guard lock(table.mutex);
        table.open.emplace(object.get(), object);
    }
    *device = object.get();
    object->Notify(kWomOpen, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutPrepareHeader(HWAVEOUT device, WaveHeader* header, std::uint32_t headerSize) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, headerSize) || (!header->data && header->bufferLength != 0))
        return MMSYSERR_INVALPARAM;
    std::lock_guard lock(object->mutex);
    if (header->flags & kWhdrInQueue)
        return WAVERR_STILLPLAYING;
    header->flags = (header->flags | kWhdrPrepared) & ~kWhdrDone;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutUnprepareHeader(HWAVEOUT device, WaveHeader* header, std::uint32_t headerSize) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, headerSize))
        return MMSYSERR_INVALPARAM;
    std::lock_guard lock(object->mutex);
    if (header->flags & kWhdrInQueue)
        return WAVERR_STILLPLAYING;
    header->flags &= ~kWhdrPrepared;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutWrite(HWAVEOUT device, WaveHeader* header, std::uint32_t headerSize) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, headerSize))
        return MMSYSERR_INVALPARAM;
    std::lock_guard lock(object->mutex);
    if (!(header->flags & kWhdrPrepared))
        return WAVERR_UNPREPARED;
    if (header->flags & kWhdrInQueue)
        return MMSYSERR_INVALPARAM;
    header->flags = (header->flags | kWhdrInQueue) & ~kWhdrDone;
    object->queue.push_back({header, header->bufferLength / object->format.blockAlign});
    object->changed.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutPause(HWAVEOUT device) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(object->mutex);
    if (!object->paused) {
        object->paused = true;
        object->backend->Pause();
    }
    object->changed.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutRestart(HWAVEOUT device) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(object->mutex);
    if (object->paused) {
        object->paused = false;
        object->backend->Resume();
    }
    object->changed.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutReset(HWAVEOUT device) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    if (t_inCallbackOf == object.get())
        return MMSYSERR_ERROR; // from the device's own callback: it would wait for itself
    std::unique_lock lock(object->mutex);
    object->backend->Drop();
    object->written = 0;
    object->played = 0;
    object->failed = false;
    for (auto& q : object->queue) {
        q.header->flags = (q.header->flags & ~kWhdrInQueue) | kWhdrDone;
        object->done.push_back(q.header);
    }
    object->queue.clear();
    object->Deliver(lock, true);
    object->changed.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutClose(HWAVEOUT device) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    if (t_inCallbackOf == object.get())
        return MMSYSERR_ERROR; // from the device's own callback: it would wait for itself
    {
        std::unique_lock lock(object->mutex);
        if (!object->queue.empty())
            return WAVERR_STILLPLAYING;
        // Buffers back but not yet handed over still get their callback first.
        object->Deliver(lock, true);
        object->closing = true;
        object->changed.notify_all();
    }
    {
        auto& table = Devices();
        std::lock_guard lock(table.mutex);
        table.open.erase(device);
    }
    if (object->thread.joinable())
        object->thread.join();
    object->Notify(kWomClose, 0);
    object->backend.reset();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveOutGetPosition(HWAVEOUT device, std::uint64_t* bytesPlayed) {
    auto object = Find(device);
    if (!object)
        return MMSYSERR_INVALHANDLE;
    if (!bytesPlayed)
        return MMSYSERR_INVALPARAM;
    std::lock_guard lock(object->mutex);
    const std::uint64_t played = object->failed ? object->written : object->backend->PlayedFrames();
    *bytesPlayed = played * object->format.blockAlign;
    return MMSYSERR_NOERROR;
}

} // namespace fz::audio
