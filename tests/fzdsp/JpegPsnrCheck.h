#pragma once

#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace fz::test {

// Writes a smooth picture at 320 x 240 and 176 x 144 with `encode` (path, width, height, bottom-up
// BGR pixels, quality) at qualities 20 to 100 and has libjpeg decode every file: the right size,
// at least 30 dB PSNR from quality 80 on, and a PSNR that rises with the quality. Prints the
// figures under `label`.
using JpegEncodeFunction = std::function<bool(const std::string& path, int width, int height,
                                              const std::uint8_t* pixels, int quality)>;

inline void ExpectDecodesCloseToTheInput(const char* label, const JpegEncodeFunction& encode) {
    for (const auto& size : {std::pair{320, 240}, std::pair{176, 144}}) {
        const int width = size.first;
        const int height = size.second;
        const std::vector<std::uint8_t> picture = SmoothPicture(width, height);
        double previous = 0;
        for (int quality : {20, 50, 80, 95, 100}) {
            const std::string path = (FreshWorkDir("psnr") / "smooth.jpg").string();
            ASSERT_TRUE(encode(path, width, height, picture.data(), quality));
            std::string error;
            const auto decoded = DecodeJpegFile(path, &error);
            ASSERT_TRUE(decoded.has_value()) << error;
            ASSERT_EQ(decoded->width, width);
            ASSERT_EQ(decoded->height, height);
            const double psnr = PsnrAgainstBgr(*decoded, picture);
            std::printf("%s %dx%d quality %d: %.2f dB\n", label, width, height, quality, psnr);
            if (quality >= 80) {
                EXPECT_GE(psnr, 30.0) << quality;
            }
            EXPECT_GT(psnr, previous) << quality;
            previous = psnr;
        }
    }
}

} // namespace fz::test
