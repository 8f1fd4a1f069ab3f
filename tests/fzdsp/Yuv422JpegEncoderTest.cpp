#include "fzdsp/jpeg/Yuv422JpegEncoder.h"

#include "fzdsp/jpeg/JpegAnnexKTables.h"
#include "fzdsp/jpeg/Yuv422ColourConversion.h"
#include "fzdsp/jpeg/Yuv422ForwardDct.h"
#include "fzdsp/jpeg/Yuv422JpegHeader.h"
#include "fzdsp/jpeg/Yuv422Quantiser.h"
#include "platform/log/Diagnostics.h"
#include "tests/fzdsp/JpegPsnrCheck.h"
#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/fzdsp/PictureTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace fz {
namespace {

using test::Picture;

// Records the diagnostics lines while it lives.
class DiagnosticsCapture {
public:
    DiagnosticsCapture() {
        m_previous = SetDiagnosticsSink([this](std::string_view text) {
            std::lock_guard lock(m_mutex);
            m_lines.emplace_back(text);
        });
    }
    ~DiagnosticsCapture() { SetDiagnosticsSink(std::move(m_previous)); }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    DiagnosticsSink m_previous;
};

std::string Bytes(const std::string& file, std::size_t offset, std::size_t count) {
    return file.substr(offset, count);
}

std::string Hex(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out.push_back(static_cast<char>(b));
    return out;
}

std::string PathIn(const char* folder, const char* name) {
    return (test::FreshWorkDir(folder) / name).string();
}

// The header of a 320 x 240 picture at quality 80 (Q = 25), byte by byte where it matters.
TEST(Yuv422JpegHeaderTest, LayoutOfA320x240Header) {
    const auto header = BuildYuv422Header(320, 240, 25);
    const std::string h(header.begin(), header.end());
    EXPECT_EQ(Bytes(h, 0, 6), Hex({0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x24}));
    EXPECT_EQ(Bytes(h, 6, 19), std::string(19, '\0'));
    EXPECT_EQ(Bytes(h, 25, 6), Hex({0xF0, 0x00, 0x40, 0x01, 25, 0}));
    EXPECT_EQ(Bytes(h, 31, 9), Hex({0x32, 0x12, 0x0B, 0x51, 0x04, 0x51, 0x04, 0x00, 0x00}));
    EXPECT_EQ(Bytes(h, 40, 6), Hex({0xFF, 0xDB, 0x00, 0x84, 0x00, 6}));
    EXPECT_EQ(Bytes(h, 109, 1), Hex({0x01}));
    EXPECT_EQ(Bytes(h, 174, 7), Hex({0xFF, 0xFE, 0x00, 0x05, 0, 0, 0}));
    EXPECT_EQ(Bytes(h, 181, 19), Hex({0xFF, 0xC0, 0x00, 0x11, 8, 0x00, 0xF0, 0x01, 0x40, 3, 0x01,
                                      0x21, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01}));
    EXPECT_EQ(Bytes(h, 200, 5), Hex({0xFF, 0xC4, 0x01, 0xA2, 0x00}));
    EXPECT_EQ(Bytes(h, 620, 6), Hex({0xFF, 0xFE, 0x00, 0x04, 0, 0}));
    EXPECT_EQ(Bytes(h, 626, 14), Hex({0xFF, 0xDA, 0x00, 0x0C, 3, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11,
                                      0x00, 0x3F, 0x00}));
    // The DHT carries the Annex K tables in the order DC 0, DC 1, AC 0, AC 1.
    std::string dht;
    const auto append = [&dht](const auto& table) {
        dht.push_back(static_cast<char>(table.tableClassAndId));
        dht.append(table.bits.begin(), table.bits.end());
        dht.append(table.values.begin(), table.values.end());
    };
    append(annexk::kDcLuminance);
    append(annexk::kDcChrominance);
    append(annexk::kAcLuminance);
    append(annexk::kAcChrominance);
    EXPECT_EQ(Bytes(h, 204, 416), dht);
}

TEST(Yuv422JpegHeaderTest, QuantisationTablesInZigzagOrder) {
    const auto finest = BuildYuv422Header(176, 144, QualityToScale(100));
    for (std::size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(finest[45 + i], 1);
        EXPECT_EQ(finest[110 + i], 1);
    }
    const auto q25 = BuildYuv422Header(176, 144, 25);
    for (std::size_t k = 0; k < 64; ++k) {
        const int natural = annexk::kZigzagToNatural[k];
        EXPECT_EQ(q25[45 + k], QuantisationStep(25, QuantTable::kLuminance, natural));
        EXPECT_EQ(q25[110 + k], QuantisationStep(25, QuantTable::kChrominance, natural));
    }
}

TEST(Yuv422ColourConversionTest, DivisionsTruncateTowardsZero) {
    // Pixels (B, G, R): a pair of pure blue and pure red, a pair of white and black.
    const Picture pixels = {255, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0};
    std::uint8_t y[4], cb[2], cr[2];
    ConvertToYuv422(pixels.data(), 4, 1, y, cb, cr);
    // Y: 29 x 255 / 256 = 28, 77 x 255 / 256 = 76, 256 x 255 / 256 = 255, 0.
    EXPECT_EQ((std::vector<int>{y[0], y[1], y[2], y[3]}), (std::vector<int>{28, 76, 255, 0}));
    // Blue: Cb' = 32640 / 256 + 128 = 255, Cr' = -5355 / 256 + 128 = -20 + 128 = 108 (a shift
    // would give 107). Red: Cb' = -10965 / 256 + 128 = 86, Cr' = 32640 / 256 + 128 = 255.
    EXPECT_EQ(cb[0], (255 + 86) / 2);
    EXPECT_EQ(cr[0], (108 + 255) / 2);
    // White: Cb' = 0 / 256 + 128 = 128 = Cr'; black the same.
    EXPECT_EQ(cb[1], 128);
    EXPECT_EQ(cr[1], 128);
}

class Yuv422JpegEncoderTest : public testing::Test {
protected:
    DiagnosticsCapture m_diagnostics;
};

// A 320 x 240 frame: the header in front, the image's end at the back, a multiple of 4 bytes,
// the same file on every call, and two lines on the diagnostics.
TEST_F(Yuv422JpegEncoderTest, WritesTheFixedLayout) {
    const Picture picture = test::SmoothPicture(320, 240);
    const std::string path = PathIn("layout", "frame.jpg");
    ASSERT_TRUE(EncodeYuv422Jpeg(path, 320, 240, picture.data(), 80));
    const std::string file = test::ReadFile(path);
    ASSERT_GT(file.size(), kYuv422HeaderBytes + 4);
    const auto header = BuildYuv422Header(320, 240, 25);
    EXPECT_EQ(file.substr(0, kYuv422HeaderBytes), std::string(header.begin(), header.end()));
    EXPECT_EQ(Bytes(file, 25, 4), Hex({0xF0, 0x00, 0x40, 0x01}));
    EXPECT_EQ(Bytes(file, 626, 2), Hex({0xFF, 0xDA}));
    EXPECT_EQ(file.substr(file.size() - 2), Hex({0xFF, 0xD9}));
    EXPECT_EQ(file.size() % 4, 0u);

    const std::string again = PathIn("layout-again", "frame.jpg");
    ASSERT_TRUE(EncodeYuv422Jpeg(again, 320, 240, picture.data(), 80));
    EXPECT_EQ(test::ReadFile(again), file);

    const std::vector<std::string> lines = m_diagnostics.Lines();
    ASSERT_EQ(lines.size(), 4u);
    const long output = static_cast<long>(file.size() - kYuv422HeaderBytes);
    char expected[128];
    std::snprintf(expected, sizeof expected, "Input/Output byte counts = (%ld/%ld)\n", 153600L,
                  output);
    EXPECT_EQ(lines[0], expected);
    std::snprintf(expected, sizeof expected, "Compression ratio = %f (Q = %d)\n",
                  153600.0 / static_cast<double>(output), 25);
    EXPECT_EQ(lines[1], expected);
}

// libjpeg reads every coefficient we coded: for each block, the value it decodes equals our
// own DCT and quantiser on the planes, except the cleared last coefficient of the very last
// block. Noise at quality 100 (every step 1) makes coefficient 63 non-zero almost everywhere.
TEST_F(Yuv422JpegEncoderTest, EntropyCodedDataDecodesToOurCoefficients) {
    for (const auto& [width, height, quality] :
         {std::tuple{176, 144, 100}, std::tuple{64, 16, 80}, std::tuple{16, 8, 10}}) {
        const Picture picture = test::RandomPicture(width, height, 3, 99);
        const std::string path = PathIn("coefficients", "noise.jpg");
        ASSERT_TRUE(EncodeYuv422Jpeg(path, width, height, picture.data(), quality));
        const auto read = test::ReadJpegCoefficients(path);
        ASSERT_TRUE(read.has_value());
        ASSERT_EQ(read->components.size(), 3u);
        EXPECT_EQ(read->components[0].hSampling, 2);
        EXPECT_EQ(read->components[0].vSampling, 1);

        std::vector<std::uint8_t> y(static_cast<std::size_t>(width) * height);
        std::vector<std::uint8_t> cb(y.size() / 2), cr(y.size() / 2);
        ConvertToYuv422(picture.data(), width, height, y.data(), cb.data(), cr.data());
        const Yuv422QuantiserTables tables(std::pmr::get_default_resource());
        const int scale = QualityToScale(quality);
        const std::vector<std::uint8_t>* planes[] = {&y, &cb, &cr};
        int nonZeroLast = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const auto& component = read->components[c];
            const int planeWidth = c == 0 ? width : width / 2;
            ASSERT_EQ(component.widthInBlocks, planeWidth / 8);
            ASSERT_EQ(component.heightInBlocks, height / 8);
            const QuantMultipliers m = tables.Multipliers(scale, c == 0 ? QuantTable::kLuminance
                                                                        : QuantTable::kChrominance);
            for (int by = 0; by < component.heightInBlocks; ++by)
                for (int bx = 0; bx < component.widthInBlocks; ++bx) {
                    std::array<std::int32_t, 64> block;
                    for (int r = 0; r < 8; ++r)
                        for (int x = 0; x < 8; ++x)
                            block[static_cast<std::size_t>(r * 8 + x)] =
                                (*planes[c])[static_cast<std::size_t>(by * 8 + r) * planeWidth +
                                             static_cast<std::size_t>(bx * 8 + x)] -
                                128;
                    ForwardDct8x8(block);
                    const bool last = c == 2 && by == component.heightInBlocks - 1 &&
                                      bx == component.widthInBlocks - 1;
                    const auto& decoded =
                        component
                            .blocks[static_cast<std::size_t>(by * component.widthInBlocks + bx)];
                    for (std::size_t i = 0; i < 64; ++i) {
                        const int expected =
                            last && i == 63 ? 0 : Quantise(block[i], m.multiplier[i], m.shiftCode);
                        ASSERT_EQ(decoded[i], expected)
                            << width << "x" << height << " component " << c << " block " << bx
                            << "," << by << " position " << i;
                    }
                    nonZeroLast += decoded[63] != 0;
                }
        }
        if (quality == 100) {
            EXPECT_GT(nonZeroLast, 100);
        }
    }
}

// A real decoder shows the picture: the right size, and close to the input, the closer the
// higher the quality.
TEST_F(Yuv422JpegEncoderTest, DecodesCloseToTheInput) {
    test::ExpectDecodesCloseToTheInput("YUV422", [](const std::string& path, int width, int height,
                                                    const std::uint8_t* pixels, int quality) {
        return EncodeYuv422Jpeg(path, width, height, pixels, quality);
    });
}

TEST_F(Yuv422JpegEncoderTest, RefusesPicturesLargerThan640x480BeforeAnyWork) {
    const std::string path = PathIn("large", "frame.jpg");
    const Picture picture(648 * 480 * 3, 0x40);
    EXPECT_FALSE(EncodeYuv422Jpeg(path, 648, 480, picture.data(), 80));
    EXPECT_FALSE(EncodeYuv422Jpeg(path, 640, 488, picture.data(), 80));
    EXPECT_FALSE(EncodeYuv422Jpeg(path, 0, 8, picture.data(), 80));
    EXPECT_FALSE(EncodeYuv422Jpeg(path, 16, 8, nullptr, 80));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(m_diagnostics.Lines().empty());
}

// Sizes that are not multiples of 16 x 8 stop with a message and no file, but the call counts
// as run; a file an earlier frame left at the path stays as it was.
TEST_F(Yuv422JpegEncoderTest, SizeMultiplesAreCheckedWithAMessage) {
    struct Case {
        int width, height;
        const char* message;
    };
    const Case cases[] = {
        {180, 144, "The image width (180) must be multiples of 16\n"},
        {176, 100, "The image height (100) must be multiples of 8\n"},
        {180, 100, "The image height (100) must be multiples of 8\n"},
    };
    const std::string folder = test::FreshWorkDir("multiples").string();
    const std::string kept = folder + "/kept.jpg";
    test::WriteFile(kept, "earlier frame");
    for (const Case& c : cases) {
        DiagnosticsCapture capture;
        const Picture picture(static_cast<std::size_t>(c.width) * c.height * 3, 0x80);
        const std::string path = folder + "/new.jpg";
        EXPECT_TRUE(EncodeYuv422Jpeg(path, c.width, c.height, picture.data(), 80));
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_TRUE(EncodeYuv422Jpeg(kept, c.width, c.height, picture.data(), 80));
        EXPECT_EQ(test::ReadFile(kept), "earlier frame");
        EXPECT_EQ(capture.Lines(), (std::vector<std::string>{c.message, c.message}));
    }
    const Picture accepted(176 * 144 * 3, 0x80);
    EXPECT_TRUE(EncodeYuv422Jpeg(folder + "/accepted.jpg", 176, 144, accepted.data(), 80));
    EXPECT_TRUE(std::filesystem::exists(folder + "/accepted.jpg"));
}

TEST_F(Yuv422JpegEncoderTest, UnopenableFileIsReportedOnTheDiagnostics) {
    const std::string path = test::FreshWorkDir("unopenable").string() + "/missing/frame.jpg";
    const Picture picture(16 * 8 * 3, 0x80);
    EXPECT_TRUE(EncodeYuv422Jpeg(path, 16, 8, picture.data(), 80));
    EXPECT_EQ(m_diagnostics.Lines(),
              (std::vector<std::string>{"Can not open JPEG file " + path + " to write\n"}));
}

// Running out of memory must not end the process: the line is written and the call fails,
// and no file is created.
TEST_F(Yuv422JpegEncoderTest, AllocationFailureReturnsFalse) {
    class ExhaustedMemory : public std::pmr::memory_resource {
        void* do_allocate(std::size_t, std::size_t) override { throw std::bad_alloc(); }
        void do_deallocate(void*, std::size_t, std::size_t) override {}
        bool do_is_equal(const memory_resource& other) const noexcept override {
            return this == &other;
        }
    } exhausted;
    const std::string path = PathIn("memory", "frame.jpg");
    const Picture picture(32 * 16 * 3, 0x80);
    EXPECT_FALSE(EncodeYuv422Jpeg(path, 32, 16, picture.data(), 80, &exhausted));
    EXPECT_EQ(m_diagnostics.Lines(), (std::vector<std::string>{"Memory is not enough !!!\n"}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// A device that takes nothing: the write fails and the call says so instead of reporting a
// truncated frame as written; the path itself is left alone.
TEST_F(Yuv422JpegEncoderTest, FailedWriteReturnsFalse) {
    if (!std::filesystem::is_character_file("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const Picture picture = test::RandomPicture(320, 240, 3, 4);
    EXPECT_FALSE(EncodeYuv422Jpeg("/dev/full", 320, 240, picture.data(), 100));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    EXPECT_TRUE(m_diagnostics.Lines().empty());
}

} // namespace
} // namespace fz
