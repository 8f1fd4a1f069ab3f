#pragma once

#include "platform/ui/Window.h"
#include "tests/support/fixtures/JpegFixture.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fz::test {

// The 16-bit samples of a PCM WAVE file (its "data" chunk); empty when it cannot be read.
std::vector<std::int16_t> ReadWaveSamples(const std::filesystem::path& path);

// Runs the calling thread's messages until `done` holds or `timeoutMs` passes; returns `done`.
bool PumpUntil(const std::function<bool()>& done, std::uint32_t timeoutMs);

// An off-screen window on the calling thread that counts the end-of-movie messages it gets.
struct PreviewWindow {
    ui::WindowHandle handle = 0;
    std::shared_ptr<std::atomic<int>> endMessages = std::make_shared<std::atomic<int>>(0);
    PreviewWindow(int width, int height);
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;
    // The picture's pixel (0x00RRGGBB) at x, y.
    std::uint32_t PixelAt(int x, int y) const;
    std::uint64_t DrawCount() const;
};

// True when the 0x00RRGGBB pixel is within `tolerance` of `colour` in every component.
bool Near(std::uint32_t pixel, Rgb colour, int tolerance = 6);

} // namespace fz::test
