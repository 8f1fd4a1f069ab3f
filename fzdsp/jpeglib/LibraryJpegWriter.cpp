#include "fzdsp/jpeglib/LibraryJpegWriter.h"

#include "platform/ui/MessageBox.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <jpeglib.h>

namespace fz {
namespace {

struct FatalErrorManager {
    jpeg_error_mgr manager; // first, so that libjpeg's pointer is also ours
    std::jmp_buf abandon;
};

void ShowFatalError(j_common_ptr info) {
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    ui::MessageBox(0, message, "JPEG Fatal Error", ui::kMbOk | ui::kMbIconError);
}

// libjpeg's error_exit must not return. Nothing with a destructor is alive in this frame when
// it jumps.
[[noreturn]] void OnFatalError(j_common_ptr info) {
    ShowFatalError(info);
    std::longjmp(reinterpret_cast<FatalErrorManager*>(info->err)->abandon, 1);
}

// The one place where libjpeg may longjmp. It is C-style on purpose: only plain data lives in
// this frame, the rows and the file belong to the caller, and on a fatal error the object is
// destroyed here, so the jump skips no destructor and leaks nothing.
bool CompressRows(std::FILE* file, JSAMPLE* rgbRows, int width, int height, int quality) {
    jpeg_compress_struct info;
    std::memset(&info, 0, sizeof info);
    FatalErrorManager errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnFatalError;
    if (setjmp(errors.abandon)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rgbRows + static_cast<std::size_t>(info.next_scanline) * rowBytes;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

bool WriteLibraryJpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality) {
    if (width < 1 || height < 1 || pixels == nullptr)
        return false;

    // Top row first and red first, as libjpeg takes RGB. The source rows are packed: the
    // video filter's pictures carry no row padding, and reading rounded-up bitmap rows would
    // run past the end of a picture whose width x 3 is not a multiple of 4.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<JSAMPLE> rgb;
    try {
        rgb.resize(rowBytes * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = pixels + static_cast<std::size_t>(height - 1 - y) * rowBytes;
        JSAMPLE* out = rgb.data() + static_cast<std::size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false; // quietly: the frame simply has no picture
    const bool compressed = CompressRows(file.get(), rgb.data(), width, height, quality);
    const bool closed = std::fclose(file.release()) == 0;
    return compressed && closed;
}

} // namespace fz
