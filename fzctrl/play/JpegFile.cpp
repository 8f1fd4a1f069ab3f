#include "fzctrl/play/JpegFile.h"

#include "platform/ui/MessageBox.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace fz {
namespace {

struct ErrorManager {
    jpeg_error_mgr library; // first member: libjpeg sees only this part
    std::jmp_buf abandon;
};

ui::WindowHandle ActiveWindow() {
    return 0;
}

void FatalErrorExit(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, text);
    ui::MessageBox(0, text, "JPEG Fatal Error", ui::kMbOk | ui::kMbIconError);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->abandon, 1);
}

void OutputMessage(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, text);
    ui::MessageBox(ActiveWindow(), text, "JPEG Error", ui::kMbOk);
}

struct DecodeOutcome {
    std::uint8_t* rgb = nullptr; // new[]
    int width = 0;
    int height = 0;
};

// The libjpeg part, kept free of C++ objects with destructors because a fatal error leaves it
// through longjmp. With `headerOnly` it stops after the header.
bool RunDecompressor(std::FILE* file, bool headerOnly, DecodeOutcome* outcome) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = FatalErrorExit;
    errors.library.output_message = OutputMessage;
    if (setjmp(errors.abandon) != 0) {
        jpeg_destroy_decompress(&cinfo);
        delete[] outcome->rgb;
        outcome->rgb = nullptr;
        return false;
    }
    jpeg_create_decompress(&cinfo);
    // A hostile header must not make the library allocate without bound.
    cinfo.mem->max_memory_to_use = static_cast<long>(kMaxDecodedJpegBytes);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (headerOnly) {
        outcome->width = static_cast<int>(cinfo.image_width);
        outcome->height = static_cast<int>(cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    const std::uint64_t expected = std::uint64_t{cinfo.image_width} * cinfo.image_height * 3;
    if (expected == 0 || expected > kMaxDecodedJpegBytes) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    const std::size_t width = cinfo.output_width;
    const std::size_t height = cinfo.output_height;
    const std::uint64_t bytes = std::uint64_t{width} * height * 3;
    if (bytes == 0 || bytes > kMaxDecodedJpegBytes ||
        (outcome->rgb = new (std::nothrow) std::uint8_t[bytes]) == nullptr) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const int components = cinfo.output_components;
    JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                 JPOOL_IMAGE, cinfo.output_width * components, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        jpeg_read_scanlines(&cinfo, line, 1);
        std::uint8_t* row = outcome->rgb + (cinfo.output_scanline - 1) * width * 3;
        if (components == 3) {
            std::memcpy(row, line[0], width * 3);
        } else if (components == 1) {
            for (std::size_t x = 0; x < width; ++x)
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = line[0][x];
        } else {
            std::memset(row, 0, width * 3);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    outcome->width = static_cast<int>(width);
    outcome->height = static_cast<int>(height);
    return true;
}

bool Run(const std::string& hostPath, bool headerOnly, DecodeOutcome& outcome) {
    std::FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (file == nullptr)
        return false;
    const bool ok = RunDecompressor(file, headerOnly, &outcome);
    std::fclose(file);
    return ok;
}

} // namespace

DecodedJpeg DecodeJpegFile(const std::string& hostPath) {
    DecodeOutcome outcome;
    DecodedJpeg decoded;
    if (!Run(hostPath, false, outcome))
        return decoded;
    decoded.rgb.reset(outcome.rgb);
    decoded.width = outcome.width;
    decoded.height = outcome.height;
    return decoded;
}

bool ReadJpegSize(const std::string& hostPath, int& width, int& height) {
    DecodeOutcome outcome;
    if (!Run(hostPath, true, outcome))
        return false;
    width = outcome.width;
    height = outcome.height;
    return true;
}

} // namespace fz
