#include "tests/play/PlayTestSupport.h"

#include "fzctrl/play/CMoviePlayer.h"
#include "platform/com/ModuleCounts.h"
#include "platform/time/TickCount.h"
#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowPicture.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdlib>
#include <cstring>

// The convert area that the player links holds COM objects (the conversion graph); they are
// counted per program, and the play tests are the program here.
FZ_COM_DEFINE_MODULE()

namespace fz::test {

std::vector<std::int16_t> ReadWaveSamples(const std::filesystem::path& path) {
    const std::string bytes = ReadFile(path);
    std::vector<std::int16_t> samples;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return samples;
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        std::uint32_t size = 0;
        std::memcpy(&size, bytes.data() + pos + 4, 4);
        if (bytes.compare(pos, 4, "data") == 0) {
            const std::size_t n = std::min<std::size_t>(size, bytes.size() - pos - 8) / 2;
            samples.resize(n);
            std::memcpy(samples.data(), bytes.data() + pos + 8, n * 2);
            return samples;
        }
        pos += 8 + size + (size & 1);
    }
    return samples;
}

bool PumpUntil(const std::function<bool()>& done, std::uint32_t timeoutMs) {
    const std::uint64_t end = time::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (time::GetTickCount64() >= end)
            return false;
        ui::PumpMessages();
        ui::WaitMessage(5);
    }
    return true;
}

PreviewWindow::PreviewWindow(int width, int height) {
    auto count = endMessages;
    handle = ui::CreateOffscreenWindow(
        width, height,
        [count](ui::WindowHandle, std::uint32_t message, std::uintptr_t wParam,
                std::intptr_t lParam) -> std::intptr_t {
            if (message == kEndOfMovieMessage && wParam == 0 && lParam == 0)
                ++*count;
            return 0;
        });
}

PreviewWindow::~PreviewWindow() {
    ui::DestroyWindow(handle);
}

std::uint32_t PreviewWindow::PixelAt(int x, int y) const {
    ui::WindowPicture picture;
    if (!ui::ReadWindowPicture(handle, &picture) || x >= picture.width || y >= picture.height)
        return 0xFFFFFFFF;
    return picture.At(x, y);
}

std::uint64_t PreviewWindow::DrawCount() const {
    ui::WindowPicture picture;
    ui::ReadWindowPicture(handle, &picture);
    return picture.drawCount;
}

bool Near(std::uint32_t pixel, Rgb colour, int tolerance) {
    const int r = static_cast<int>((pixel >> 16) & 0xFF);
    const int g = static_cast<int>((pixel >> 8) & 0xFF);
    const int b = static_cast<int>(pixel & 0xFF);
    return std::abs(r - colour.r) <= tolerance && std::abs(g - colour.g) <= tolerance &&
           std::abs(b - colour.b) <= tolerance;
}

} // namespace fz::test
