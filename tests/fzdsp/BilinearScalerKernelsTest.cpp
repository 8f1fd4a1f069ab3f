#include "fzdsp/picture/BilinearScaler.h"
#include "fzdsp/picture/PictureCopy.h"
#include "tests/fzdsp/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace fz {
namespace {

using test::Picture;
using test::RandomPicture;

std::vector<const BilinearScalerKernels*> VectorKernels() {
    std::vector<const BilinearScalerKernels*> kernels;
    for (const BilinearScalerKernels* k :
         {Sse2BilinearScalerKernels(), Avx2BilinearScalerKernels()})
        if (k != nullptr)
            kernels.push_back(k);
    return kernels;
}

// Every buffer is exactly as large as its picture, so that the sanitizer build catches a kernel
// that reads past the source's last pixel or writes past the destination's.
Picture ScaleWith(const BilinearScalerKernels* kernels, const Picture& source, int sw, int sh,
                  int sourceBytes, int dw, int dh, int destinationBytes) {
    Picture out(static_cast<std::size_t>(dw) * dh * destinationBytes, 0xAA);
    ScaleBilinearPixelsWith(kernels, source.data(), sw, sh, sourceBytes, out.data(), dw, dh,
                            destinationBytes);
    return out;
}

class BilinearScalerKernelsTest : public testing::TestWithParam<std::tuple<int, int, int, int>> {};

// The 3-byte paths are the 4-byte scaler with the copies around it; the vector kernels give the
// portable values for every pixel size, with the unused source byte holding noise.
TEST_P(BilinearScalerKernelsTest, EveryPathGivesThePortableValues) {
    const auto [sw, sh, dw, dh] = GetParam();
    const auto seed = static_cast<std::uint32_t>(sw * 31 + sh * 7 + dw);
    const Picture source32 = RandomPicture(sw, sh, 4, seed);
    Picture source24(static_cast<std::size_t>(sw) * sh * 3);
    PackRgb32To24(source24.data(), static_cast<std::size_t>(sw) * 3, source32.data(),
                  static_cast<std::size_t>(sw) * 4, sw, sh);

    const Picture reference32 = ScaleWith(nullptr, source32, sw, sh, 4, dw, dh, 4);
    Picture reference24(static_cast<std::size_t>(dw) * dh * 3);
    PackRgb32To24(reference24.data(), static_cast<std::size_t>(dw) * 3, reference32.data(),
                  static_cast<std::size_t>(dw) * 4, dw, dh);
    Picture widened(static_cast<std::size_t>(sw) * sh * 4);
    UnpackRgb24To32(widened.data(), static_cast<std::size_t>(sw) * 4, source24.data(),
                    static_cast<std::size_t>(sw) * 3, sw, sh);
    Picture plain(reference32.size());
    ScaleBilinearPortable(widened.data(), sw, sh, plain.data(), dw, dh);
    ASSERT_EQ(plain, reference32) << "the unused source byte changes nothing";

    std::vector<const BilinearScalerKernels*> all = VectorKernels();
    all.insert(all.begin(), {nullptr, PortableBilinearScalerKernels()});
    for (const BilinearScalerKernels* kernels : all) {
        const std::string name = kernels ? kernels->name : "portable";
        EXPECT_EQ(ScaleWith(kernels, source32, sw, sh, 4, dw, dh, 4), reference32) << name;
        EXPECT_EQ(ScaleWith(kernels, source32, sw, sh, 4, dw, dh, 3), reference24) << name;
        EXPECT_EQ(ScaleWith(kernels, source24, sw, sh, 3, dw, dh, 4), reference32) << name;
        EXPECT_EQ(ScaleWith(kernels, source24, sw, sh, 3, dw, dh, 3), reference24) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(OddSizes, BilinearScalerKernelsTest,
                         testing::Values(std::tuple{640, 480, 320, 240},
                                         std::tuple{640, 480, 176, 144}, std::tuple{33, 17, 65, 31},
                                         std::tuple{7, 5, 3, 9}, std::tuple{1, 1, 4, 3},
                                         std::tuple{299, 1, 17, 1}, std::tuple{2, 2, 3, 2},
                                         std::tuple{3, 7, 13, 5}, std::tuple{161, 121, 160, 120},
                                         std::tuple{17, 9, 17, 9}, std::tuple{1001, 3, 999, 2},
                                         std::tuple{9, 2, 10, 1}, std::tuple{12, 12, 11, 11}));

TEST(BilinearScalerKernelsTest, TheChosenKernelsAreAmongTheBuiltOnes) {
    const BilinearScalerKernels* chosen = SelectedBilinearScalerKernels();
    ASSERT_NE(chosen, nullptr);
    std::vector<const BilinearScalerKernels*> built = VectorKernels();
    built.push_back(PortableBilinearScalerKernels());
    EXPECT_NE(std::find(built.begin(), built.end(), chosen), built.end()) << chosen->name;
}

} // namespace
} // namespace fz
