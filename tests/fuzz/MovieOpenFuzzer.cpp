// Fuzz target for the movie readers: the format query and the player's open, start and close
// over one input file (KQFF of either kind, YHAV, or anything else, which the query reads as
// AVI). Sound goes to the silent device; message boxes and diagnostics are dropped. The player
// must refuse what it cannot play with an open code, and play what it accepts without reading
// outside the file.
#include "fzctrl/play/CMoviePlayer.h"
#include "fzctrl/play/MovieFormatProbe.h"
#include "platform/com/ModuleCounts.h"
#include "platform/log/Diagnostics.h"
#include "platform/ui/MessageBox.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// The convert area linked here holds COM objects, counted per program.
FZ_COM_DEFINE_MODULE()

namespace {

int InputFile() {
    static int fd = memfd_create("movie_open_fuzzer", MFD_CLOEXEC);
    return fd;
}

bool WriteInput(const std::uint8_t* data, std::size_t size) {
    const int fd = InputFile();
    if (fd < 0 || ftruncate(fd, 0) != 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void SetUpOnce() {
    static bool done = false;
    if (done)
        return;
    done = true;
    setenv("FRAMZEL_AUDIO", "null", 1);
    char folder[] = "/tmp/movie_open_fuzzer_XXXXXX";
    if (mkdtemp(folder) != nullptr)
        setenv("FRAMZEL_DRIVE_C", folder, 1);
    fz::ui::SetMessageBoxHandler([](fz::ui::WindowHandle, std::string_view, std::string_view,
                                    std::uint32_t) { return static_cast<int>(fz::ui::kIdOk); });
    fz::SetDiagnosticsSink([](std::string_view) {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SetUpOnce();
    if (!WriteInput(data, size))
        return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(InputFile());

    fz::MediaFormat format;
    fz::QueryMediaFormat(path, format);

    fz::CMoviePlayer player;
    std::uint64_t frameBytes = 0;
    player.SetFrameCallback([&](const std::uint8_t* jpeg, std::uint32_t count) {
        // Every byte handed over must lie in the mapped movie: touch them all.
        for (std::uint32_t i = 0; i < count; ++i)
            frameBytes += jpeg[i];
    });
    const int code = player.Open(path);
    if (code != fz::kOpenOk && player.GetState() != fz::kPlayerClosed) {
        std::fprintf(stderr, "movie_open_fuzzer: a refused movie left the player open\n");
        std::abort();
    }
    if (code == fz::kOpenOk)
        player.Start();
    player.Close();
    (void)frameBytes;
    return 0;
}
