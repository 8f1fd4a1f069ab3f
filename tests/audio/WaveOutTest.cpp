#include "platform/audio/WaveOut.h"

#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace fz::audio;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

WaveFormat Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    WaveFormat f;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

// Records every buffer the device hands back, with the time it came back.
struct DoneLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uintptr_t> users;
    std::vector<Clock::time_point> times;
    int opens = 0;
    int closes = 0;

    static void Callback(HWAVEOUT, std::uint32_t message, std::uintptr_t instance,
                         std::uintptr_t param1, std::uintptr_t) {
        auto* log = reinterpret_cast<DoneLog*>(instance);
        std::lock_guard lock(log->mutex);
        if (message == kWomOpen)
            ++log->opens;
        if (message == kWomClose)
            ++log->closes;
        if (message == kWomDone) {
            log->users.push_back(reinterpret_cast<WaveHeader*>(param1)->user);
            log->times.push_back(Clock::now());
        }
        log->changed.notify_all();
    }

    bool WaitFor(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return users.size() >= count; });
    }
};

struct Buffers {
    std::vector<std::vector<std::uint8_t>> data;
    std::vector<WaveHeader> headers;

    Buffers(int count, std::size_t bytes, int firstValue = 0)
        : data(count)
        , headers(count) {
        for (int i = 0; i < count; ++i) {
            data[i].resize(bytes);
            for (std::size_t b = 0; b < bytes; ++b)
                data[i][b] = static_cast<std::uint8_t>(firstValue + i * 31 + b * 7);
            headers[i].data = data[i].data();
            headers[i].bufferLength = static_cast<std::uint32_t>(bytes);
            headers[i].user = static_cast<std::uintptr_t>(i);
        }
    }
    std::vector<std::uint8_t> All() const {
        std::vector<std::uint8_t> all;
        for (const auto& d : data)
            all.insert(all.end(), d.begin(), d.end());
        return all;
    }
};

void QueueAll(HWAVEOUT device, Buffers& buffers) {
    for (auto& h : buffers.headers) {
        ASSERT_EQ(WaveOutPrepareHeader(device, &h, sizeof h), MMSYSERR_NOERROR);
        ASSERT_EQ(WaveOutWrite(device, &h, sizeof h), MMSYSERR_NOERROR);
    }
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

TEST(WaveOutTest, NullAndFileOutputsPlayInRealTimeAndHandBuffersBackInOrder) {
    const auto wavePath = fz::test::WorkDir() / "paced.wav";
    for (const std::string& backend : {std::string("null"), "file:" + wavePath.string()}) {
        SCOPED_TRACE(backend);
        setenv("FRAMZEL_AUDIO", backend.c_str(), 1);
        // One second of 16-bit stereo at 22050 Hz in ten buffers.
        const WaveFormat format = Pcm(2, 22050, 16);
        Buffers buffers(10, 2205 * 4);
        DoneLog log;
        HWAVEOUT device = nullptr;
        ASSERT_EQ(WaveOutOpen(&device, kWaveMapper, &format, &DoneLog::Callback,
                              reinterpret_cast<std::uintptr_t>(&log), kCallbackFunction),
                  MMSYSERR_NOERROR);
        EXPECT_EQ(log.opens, 1);
        const auto start = Clock::now();
        QueueAll(device, buffers);
        ASSERT_TRUE(log.WaitFor(10, 5s));
        const double total = Seconds(log.times.back() - start);
        EXPECT_GE(total, 0.97);
        EXPECT_LE(total, 1.25);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(log.users[i], static_cast<std::uintptr_t>(i));
            // Buffer i has played once (i + 1) × 100 ms of sound have been heard: never
            // earlier, and not much later.
            const double at = Seconds(log.times[i] - start);
            EXPECT_GE(at, 0.1 * (i + 1) - 0.01) << i;
            EXPECT_LE(at, 0.1 * (i + 1) + 0.15) << i;
            EXPECT_EQ(buffers.headers[i].flags, kWhdrPrepared | kWhdrDone);
        }
        std::uint64_t position = 0;
        ASSERT_EQ(WaveOutGetPosition(device, &position), MMSYSERR_NOERROR);
        EXPECT_EQ(position, 10u * 2205 * 4);
        for (auto& h : buffers.headers)
            EXPECT_EQ(WaveOutUnprepareHeader(device, &h, sizeof h), MMSYSERR_NOERROR);
        ASSERT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);
        EXPECT_EQ(log.closes, 1);
    }
}

std::vector<std::uint8_t> ExpectedWave(const WaveFormat& f, const std::vector<std::uint8_t>& pcm) {
    auto le = [](std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    std::vector<std::uint8_t> w;
    const auto size = static_cast<std::uint32_t>(pcm.size());
    for (char c : std::string("RIFF"))
        w.push_back(static_cast<std::uint8_t>(c));
    le(w, 36 + size, 4);
    for (char c : std::string("WAVEfmt "))
        w.push_back(static_cast<std::uint8_t>(c));
    le(w, 16, 4);
    le(w, 1, 2);
    le(w, f.channels, 2);
    le(w, f.samplesPerSec, 4);
    le(w, f.samplesPerSec * f.blockAlign, 4);
    le(w, f.blockAlign, 2);
    le(w, f.bitsPerSample, 2);
    for (char c : std::string("data"))
        w.push_back(static_cast<std::uint8_t>(c));
    le(w, size, 4);
    w.insert(w.end(), pcm.begin(), pcm.end());
    return w;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    const std::string text = fz::test::ReadFile(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(WaveOutTest, FileOutputHoldsExactlyWhatWasPlayed) {
    struct Case {
        const char* name;
        WaveFormat format;
        std::size_t bufferBytes;
    };
    // Odd rates and an odd buffer length (a partial frame at the end is not played).
    const Case cases[] = {{"8-bit mono 11025", Pcm(1, 11025, 8), 1103},
                          {"16-bit stereo 8000", Pcm(2, 8000, 16), 803},
                          {"16-bit mono 44100", Pcm(1, 44100, 16), 4410}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = fz::test::WorkDir() / "played.wav";
        setenv("FRAMZEL_AUDIO", ("file:" + path.string()).c_str(), 1);
        Buffers buffers(3, c.bufferBytes);
        DoneLog log;
        HWAVEOUT device = nullptr;
        ASSERT_EQ(WaveOutOpen(&device, 0, &c.format, &DoneLog::Callback,
                              reinterpret_cast<std::uintptr_t>(&log), kCallbackFunction),
                  MMSYSERR_NOERROR);
        QueueAll(device, buffers);
        ASSERT_TRUE(log.WaitFor(3, 5s));
        ASSERT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);
        std::vector<std::uint8_t> played;
        const std::size_t whole = c.bufferBytes / c.format.blockAlign * c.format.blockAlign;
        for (const auto& d : buffers.data)
            played.insert(played.end(), d.begin(), d.begin() + static_cast<long>(whole));
        EXPECT_EQ(ReadBytes(path), ExpectedWave(c.format, played));
    }
}

TEST(WaveOutTest, ResetHandsEveryQueuedBufferBackBeforeItReturns) {
    const auto path = fz::test::WorkDir() / "reset.wav";
    setenv("FRAMZEL_AUDIO", ("file:" + path.string()).c_str(), 1);
    const WaveFormat format = Pcm(1, 8000, 16);
    Buffers buffers(8, 8000 * 2); // eight seconds queued
    DoneLog log;
    HWAVEOUT device = nullptr;
    ASSERT_EQ(WaveOutOpen(&device, kWaveMapper, &format, &DoneLog::Callback,
                          reinterpret_cast<std::uintptr_t>(&log), kCallbackFunction),
              MMSYSERR_NOERROR);
    QueueAll(device, buffers);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(WaveOutClose(device), WAVERR_STILLPLAYING);
    EXPECT_EQ(WaveOutUnprepareHeader(device, &buffers.headers[7], sizeof(WaveHeader)),
              WAVERR_STILLPLAYING);
    std::uint64_t position = 0;
    ASSERT_EQ(WaveOutGetPosition(device, &position), MMSYSERR_NOERROR);
    EXPECT_GT(position, 0u);
    EXPECT_LT(position, 8000u * 2);

    ASSERT_EQ(WaveOutReset(device), MMSYSERR_NOERROR);
    {
        std::lock_guard lock(log.mutex);
        EXPECT_EQ(log.users, (std::vector<std::uintptr_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    }
    for (auto& h : buffers.headers)
        EXPECT_EQ(h.flags, kWhdrPrepared | kWhdrDone);
    ASSERT_EQ(WaveOutGetPosition(device, &position), MMSYSERR_NOERROR);
    EXPECT_EQ(position, 0u);

    // The device plays on after a reset.
    ASSERT_EQ(WaveOutWrite(device, &buffers.headers[0], sizeof(WaveHeader)), MMSYSERR_NOERROR);
    ASSERT_EQ(WaveOutReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(log.users.size(), 9u);
    ASSERT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);

    // The file holds the start of the first buffer: what was heard before the reset.
    const auto wave = ReadBytes(path);
    ASSERT_GE(wave.size(), 44u);
    const std::size_t heard = wave.size() - 44;
    EXPECT_GT(heard, 0u);
    EXPECT_LT(heard, 8000u * 2 / 2); // well under the first second
    EXPECT_TRUE(std::equal(wave.begin() + 44, wave.end(), buffers.data[0].begin()));
}

// Buffers coming back on the device's thread while a reset hands back the rest on another:
// every buffer comes back once, in order, and neither thread waits on the other for ever.
TEST(WaveOutTest, ResetWhileTheDeviceHandsBuffersBack) {
    setenv("FRAMZEL_AUDIO", "null", 1);
    const WaveFormat format = Pcm(1, 8000, 8);
    struct SlowLog {
        std::mutex mutex;
        std::vector<std::uintptr_t> users;
    } log;
    auto slow = [](HWAVEOUT, std::uint32_t message, std::uintptr_t instance, std::uintptr_t param1,
                   std::uintptr_t) {
        if (message != kWomDone)
            return;
        std::this_thread::sleep_for(1ms);
        auto* l = reinterpret_cast<SlowLog*>(instance);
        std::lock_guard lock(l->mutex);
        l->users.push_back(reinterpret_cast<WaveHeader*>(param1)->user);
    };
    HWAVEOUT device = nullptr;
    ASSERT_EQ(WaveOutOpen(&device, kWaveMapper, &format, slow,
                          reinterpret_cast<std::uintptr_t>(&log), kCallbackFunction),
              MMSYSERR_NOERROR);
    Buffers buffers(16, 8); // 1 ms each: they come back as fast as they are written
    const auto start = Clock::now();
    for (int round = 0; round < 40; ++round) {
        QueueAll(device, buffers);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 5));
        ASSERT_EQ(WaveOutReset(device), MMSYSERR_NOERROR);
        std::lock_guard lock(log.mutex);
        ASSERT_EQ(log.users.size(), 16u * (round + 1));
        for (std::uintptr_t i = 0; i < 16; ++i)
            ASSERT_EQ(log.users[16 * round + i], i) << round;
    }
    EXPECT_LT(Seconds(Clock::now() - start), 10.0);
    ASSERT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);
}

TEST(WaveOutTest, PauseHoldsThePositionAndRestartGoesOn) {
    setenv("FRAMZEL_AUDIO", "null", 1);
    const WaveFormat format = Pcm(2, 44100, 16);
    Buffers buffers(1, 44100 * 4 / 2); // half a second
    DoneLog log;
    HWAVEOUT device = nullptr;
    ASSERT_EQ(WaveOutOpen(&device, kWaveMapper, &format, &DoneLog::Callback,
                          reinterpret_cast<std::uintptr_t>(&log), kCallbackFunction),
              MMSYSERR_NOERROR);
    const auto start = Clock::now();
    QueueAll(device, buffers);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(WaveOutPause(device), MMSYSERR_NOERROR);
    std::uint64_t atPause = 0;
    std::uint64_t later = 0;
    WaveOutGetPosition(device, &atPause);
    std::this_thread::sleep_for(400ms);
    WaveOutGetPosition(device, &later);
    EXPECT_EQ(atPause, later);
    EXPECT_GT(atPause, 0u);
    EXPECT_TRUE(log.users.empty());
    ASSERT_EQ(WaveOutRestart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(log.WaitFor(1, 3s));
    // 0.5 s of sound and 0.4 s of pause.
    EXPECT_GE(Seconds(log.times[0] - start), 0.88);
    EXPECT_LE(Seconds(log.times[0] - start), 1.2);
    ASSERT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);
}

// The player's pattern: the callback only wakes a thread, which refills the returned buffer.
TEST(WaveOutTest, BuffersRefilledFromTheDoneCallbackKeepPlaying) {
    setenv("FRAMZEL_AUDIO", "null", 1);
    const WaveFormat format = Pcm(1, 8000, 16);
    struct Refill {
        HWAVEOUT device = nullptr;
        Buffers buffers{2, 160}; // 10 ms each
        int left = 30;
        std::mutex mutex;
        std::condition_variable finished;
        int returned = 0;
    } refill;
    auto callback = [](HWAVEOUT device, std::uint32_t message, std::uintptr_t instance,
                       std::uintptr_t param1, std::uintptr_t) {
        if (message != kWomDone)
            return;
        auto* r = reinterpret_cast<Refill*>(instance);
        std::lock_guard lock(r->mutex);
        ++r->returned;
        // A reset or close from inside the callback would wait for the callback itself.
        EXPECT_EQ(WaveOutReset(device), MMSYSERR_ERROR);
        EXPECT_EQ(WaveOutClose(device), MMSYSERR_ERROR);
        if (r->left-- > 0)
            WaveOutWrite(device, reinterpret_cast<WaveHeader*>(param1), sizeof(WaveHeader));
        r->finished.notify_all();
    };
    ASSERT_EQ(WaveOutOpen(&refill.device, kWaveMapper, &format, callback,
                          reinterpret_cast<std::uintptr_t>(&refill), kCallbackFunction),
              MMSYSERR_NOERROR);
    QueueAll(refill.device, refill.buffers);
    {
        std::unique_lock lock(refill.mutex);
        ASSERT_TRUE(refill.finished.wait_for(lock, 5s, [&] { return refill.returned == 32; }));
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(WaveOutClose(refill.device), MMSYSERR_NOERROR);
}

TEST(WaveOutTest, RefusesBadFormatsHeadersAndHandles) {
    setenv("FRAMZEL_AUDIO", "null", 1);
    struct Case {
        const char* name;
        WaveFormat format;
    };
    WaveFormat wrongAlign = Pcm(2, 8000, 16);
    wrongAlign.blockAlign = 2;
    WaveFormat notPcm = Pcm(1, 8000, 16);
    notPcm.formatTag = 0x11;
    const Case bad[] = {{"24 bits", Pcm(1, 8000, 24)},     {"3 channels", Pcm(3, 8000, 16)},
                        {"no channels", Pcm(0, 8000, 16)}, {"rate 0", Pcm(1, 0, 16)},
                        {"block align", wrongAlign},       {"IMA ADPCM", notPcm}};
    for (const Case& c : bad) {
        SCOPED_TRACE(c.name);
        HWAVEOUT device = nullptr;
        EXPECT_EQ(WaveOutOpen(&device, kWaveMapper, &c.format, nullptr, 0, kCallbackNull),
                  WAVERR_BADFORMAT);
        EXPECT_EQ(device, nullptr);
    }
    const WaveFormat good = Pcm(1, 50, 8); // rates below 100 Hz play too
    EXPECT_EQ(WaveOutOpen(nullptr, kWaveMapper, &good, nullptr, 0, kWaveFormatQuery),
              MMSYSERR_NOERROR);
    HWAVEOUT device = nullptr;
    EXPECT_EQ(WaveOutOpen(&device, 3, &good, nullptr, 0, 0), MMSYSERR_BADDEVICEID);
    ASSERT_EQ(WaveOutOpen(&device, kWaveMapper, &good, nullptr, 0, kCallbackNull),
              MMSYSERR_NOERROR);
    std::uint8_t sound[10] = {};
    WaveHeader header;
    header.data = sound;
    header.bufferLength = sizeof sound;
    EXPECT_EQ(WaveOutWrite(device, &header, sizeof header), WAVERR_UNPREPARED);
    EXPECT_EQ(WaveOutPrepareHeader(device, &header, sizeof header - 1), MMSYSERR_INVALPARAM);
    WaveHeader empty;
    empty.bufferLength = 4; // no data
    EXPECT_EQ(WaveOutPrepareHeader(device, &empty, sizeof empty), MMSYSERR_INVALPARAM);
    ASSERT_EQ(WaveOutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(WaveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(WaveOutWrite(device, &header, sizeof header), MMSYSERR_INVALPARAM);
    // Without a callback the caller polls the done flag.
    for (int i = 0; i < 200 && !(header.flags & kWhdrDone); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(header.flags & kWhdrDone);
    ASSERT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);
    EXPECT_EQ(WaveOutWrite(device, &header, sizeof header), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(WaveOutReset(device), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(WaveOutClose(device), MMSYSERR_INVALHANDLE);
}

TEST(WaveOutTest, OutputsThatCannotOpenFailCleanly) {
    const WaveFormat format = Pcm(2, 44100, 16);
    struct Case {
        const char* name;
        std::string audio;
        MMRESULT expected;
    };
    std::vector<Case> cases = {
        {"unknown backend", "pulse", MMSYSERR_NODRIVER},
        {"file in a missing folder", "file:" + (fz::test::WorkDir() / "no/such/x.wav").string(),
         MMSYSERR_NODRIVER},
        {"empty file name", "file:", MMSYSERR_NODRIVER},
        {"unknown ALSA device", "alsa:no_such_device_here", MMSYSERR_NODRIVER},
    };
    // Without a sound card (this machine's case) the default ALSA device is missing.
    if (!std::filesystem::exists("/dev/snd"))
        cases.push_back({"ALSA without a card", "alsa", MMSYSERR_NODRIVER});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setenv("FRAMZEL_AUDIO", c.audio.c_str(), 1);
        HWAVEOUT device = reinterpret_cast<HWAVEOUT>(0x1);
        const auto start = Clock::now();
        EXPECT_EQ(WaveOutOpen(&device, kWaveMapper, &format, nullptr, 0, kCallbackNull),
                  c.expected);
        EXPECT_EQ(device, nullptr);
        EXPECT_LT(Seconds(Clock::now() - start), 2.0);
    }
}

// ALSA's own "null" device runs the ALSA path without a card: every buffer comes back, in
// order, and nothing waits without bound.
TEST(WaveOutTest, AlsaPathPlaysThroughAlsasNullDevice) {
    setenv("FRAMZEL_AUDIO", "alsa:null", 1);
    const WaveFormat format = Pcm(2, 22050, 16);
    Buffers buffers(6, 2205 * 4);
    DoneLog log;
    HWAVEOUT device = nullptr;
    const MMRESULT opened = WaveOutOpen(&device, kWaveMapper, &format, &DoneLog::Callback,
                                        reinterpret_cast<std::uintptr_t>(&log), kCallbackFunction);
    if (opened == MMSYSERR_NODRIVER)
        GTEST_SKIP() << "this ALSA has no null device";
    ASSERT_EQ(opened, MMSYSERR_NOERROR);
    QueueAll(device, buffers);
    ASSERT_TRUE(log.WaitFor(6, 10s));
    EXPECT_EQ(log.users, (std::vector<std::uintptr_t>{0, 1, 2, 3, 4, 5}));
    QueueAll(device, buffers);
    ASSERT_EQ(WaveOutPause(device), MMSYSERR_NOERROR);
    ASSERT_EQ(WaveOutReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(log.users.size(), 12u);
    ASSERT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);
}

} // namespace
