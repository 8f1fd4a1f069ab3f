#include "framzel/cli/JpegPictures.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace fz::cli {
namespace {

// Movie frames are at most 640 x 480; anything far beyond is not worth the memory.
constexpr JDIMENSION kMaxSide = 8192;

struct ErrorManager {
    jpeg_error_mgr manager; // first, so that libjpeg's pointer is also ours
    std::jmp_buf abandon;
};

[[noreturn]] void OnFatalError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->abandon, 1);
}

void IgnoreMessage(j_common_ptr, int) {}

// The places where libjpeg may longjmp are C-style on purpose: only plain data lives in their
// frames and the buffers belong to the caller, so a jump skips no destructor.
bool DecompressInto(const std::uint8_t* data, std::size_t size, int minWidth, RgbPicture* out,
                    std::vector<std::uint8_t>* pixels) {
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnFatalError;
    errors.manager.emit_message = IgnoreMessage;
    if (setjmp(errors.abandon)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > kMaxSide || info.image_height > kMaxSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    info.scale_num = 1;
    info.scale_denom = 1;
    while (info.scale_denom < 8 &&
           static_cast<int>(info.image_width / (info.scale_denom * 2)) >= minWidth)
        info.scale_denom *= 2;
    jpeg_start_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    const std::size_t rowBytes = static_cast<std::size_t>(out->width) * 3;
    pixels->resize(rowBytes * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels->data() + rowBytes * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool CompressFrom(std::FILE* file, const RgbPicture* picture, int quality) {
    jpeg_compress_struct info;
    std::memset(&info, 0, sizeof info);
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnFatalError;
    if (setjmp(errors.abandon)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(picture->width);
    info.image_height = static_cast<JDIMENSION>(picture->height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(picture->width) * 3;
    while (info.next_scanline < info.image_height) {
        auto row = const_cast<JSAMPROW>(picture->rgb.data() + rowBytes * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::optional<RgbPicture> DecodeJpeg(std::span<const std::uint8_t> image, int minWidth) {
    RgbPicture picture;
    std::vector<std::uint8_t> pixels;
    if (image.empty() || !DecompressInto(image.data(), image.size(), minWidth, &picture, &pixels))
        return std::nullopt;
    picture.rgb = std::move(pixels);
    return picture;
}

bool WriteJpeg(const std::string& path, const RgbPicture& picture, int quality) {
    if (picture.width < 1 || picture.height < 1)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = CompressFrom(file, &picture, quality);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

} // namespace fz::cli
