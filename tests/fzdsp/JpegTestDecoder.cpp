#include "tests/fzdsp/JpegTestDecoder.h"

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace fz::test {
namespace {

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// C-style on purpose: nothing with a destructor lives between setjmp and longjmp.
bool DecodeInto(std::FILE* file, DecodedJpeg* out, ErrorManager* errors) {
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&errors->manager);
    errors->manager.error_exit = OnError;
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    out->rgb.resize(static_cast<std::size_t>(out->width) * out->height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->rgb.data() + static_cast<std::size_t>(info.output_scanline) *
                                             static_cast<std::size_t>(out->width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool ReadCoefficientsInto(std::FILE* file, JpegCoefficients* out, ErrorManager* errors) {
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&errors->manager);
    errors->manager.error_exit = OnError;
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    out->components.resize(static_cast<std::size_t>(info.num_components));
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        JpegCoefficients::Component& target = out->components[static_cast<std::size_t>(c)];
        target.widthInBlocks = static_cast<int>(component.width_in_blocks);
        target.heightInBlocks = static_cast<int>(component.height_in_blocks);
        target.hSampling = component.h_samp_factor;
        target.vSampling = component.v_samp_factor;
        for (JDIMENSION row = 0; row < component.height_in_blocks; ++row) {
            JBLOCKARRAY blocks = (*info.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&info), arrays[c], row, 1, FALSE);
            for (JDIMENSION column = 0; column < component.width_in_blocks; ++column) {
                std::array<std::int16_t, 64> block;
                for (int i = 0; i < 64; ++i)
                    block[static_cast<std::size_t>(i)] = blocks[0][column][i];
                target.blocks.push_back(block);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

std::optional<DecodedJpeg> DecodeJpegFile(const std::string& path, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (error)
            *error = "cannot open " + path;
        return std::nullopt;
    }
    DecodedJpeg decoded;
    ErrorManager errors{};
    const bool ok = DecodeInto(file, &decoded, &errors);
    std::fclose(file);
    if (!ok) {
        if (error)
            *error = errors.message;
        return std::nullopt;
    }
    return decoded;
}

std::optional<JpegCoefficients> ReadJpegCoefficients(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    JpegCoefficients coefficients;
    ErrorManager errors{};
    const bool ok = ReadCoefficientsInto(file, &coefficients, &errors);
    std::fclose(file);
    if (!ok)
        return std::nullopt;
    return coefficients;
}

double PsnrAgainstBgr(const DecodedJpeg& decoded, const std::vector<std::uint8_t>& bgrBottomUp) {
    double squares = 0;
    const int width = decoded.width;
    const int height = decoded.height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* out =
                &decoded
                     .rgb[(static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 3];
            const std::uint8_t* in =
                &bgrBottomUp[(static_cast<std::size_t>(height - 1 - y) * width +
                              static_cast<std::size_t>(x)) *
                             3];
            for (int c = 0; c < 3; ++c) {
                const double d = static_cast<double>(out[c]) - in[2 - c];
                squares += d * d;
            }
        }
    const double mse = squares / (static_cast<double>(width) * height * 3);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<std::uint8_t> SmoothPicture(int width, int height) {
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3);
    const double cx = width * 0.6;
    const double cy = height * 0.4;
    const double radius = height * 0.3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double d = std::hypot(x - cx, y - cy) / radius;
            const double blob = 90.0 / (1.0 + d * d * d * d);
            const double r = 40 + 150.0 * x / width + blob * 0.5;
            const double g = 30 + 170.0 * y / height + 20 * std::sin(x / 23.0);
            const double b = 110 + 60 * std::sin(x / 41.0) * std::cos(y / 29.0) + blob * 0.4;
            std::uint8_t* p = &picture[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<std::uint8_t>(std::lround(std::fmin(255, std::fmax(0, b))));
            p[1] = static_cast<std::uint8_t>(std::lround(std::fmin(255, std::fmax(0, g))));
            p[2] = static_cast<std::uint8_t>(std::lround(std::fmin(255, std::fmax(0, r))));
        }
    return picture;
}

} // namespace fz::test
