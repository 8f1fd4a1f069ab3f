#include "fzdsp/Yuv422JpegEncoder.h"

#include "fzdsp/JpegAnnexKTables.h"
#include "fzdsp/Yuv422BitWriter.h"
#include "fzdsp/Yuv422ColourConversion.h"
#include "fzdsp/Yuv422ForwardDct.h"
#include "fzdsp/Yuv422JpegHeader.h"
#include "fzdsp/Yuv422Quantiser.h"
#include "platform/log/Diagnostics.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace fz {
namespace {

constexpr int kMaxWidth = 640;
constexpr int kMaxHeight = 480;

struct ComponentCoding {
    const QuantMultipliers* quant;
    const std::array<annexk::HuffmanCode, 256>* dc;
    const std::array<annexk::HuffmanCode, 256>* ac;
    int predictor = 0; // T.81 F.1.2.1.1: the previous DC of the component, 0 at the start
};

// T.81 F.1.2.1.1 and F.1.2.2.1: the size category of a value and its additional bits, negative
// values as value - 1 in that many bits.
int SizeCategory(int value) {
    return std::bit_width(static_cast<unsigned>(value < 0 ? -value : value));
}
std::uint32_t AdditionalBits(int value, int category) {
    const int bits = value < 0 ? value - 1 : value;
    return static_cast<std::uint32_t>(bits) & ((1u << category) - 1);
}

class BlockCoder {
public:
    explicit BlockCoder(Yuv422BitWriter& bits)
        : m_bits(bits) {}

    // Level shift, forward DCT, quantisation and zigzag order (T.81 A.3.1, A.3.3, A.3.4,
    // A.3.6), then Huffman coding of the block (F.1.2). In the picture's last block the
    // coefficient at zigzag position 63 is cleared, so that the data always ends with an
    // end-of-block code.
    void Code(const std::uint8_t* plane, std::size_t stride, ComponentCoding& component,
              bool lastBlock) {
        std::array<std::int32_t, 64> block;
        for (int row = 0; row < 8; ++row)
            for (int column = 0; column < 8; ++column)
                block[static_cast<std::size_t>(row * 8 + column)] =
                    plane[static_cast<std::size_t>(row) * stride +
                          static_cast<std::size_t>(column)] -
                    128;
        ForwardDct8x8(block);
        const QuantMultipliers& quant = *component.quant;
        for (std::size_t i = 0; i < 64; ++i)
            block[i] = Quantise(block[i], quant.multiplier[i], quant.shiftCode);
        std::array<int, 64> zigzag;
        for (std::size_t k = 0; k < 64; ++k)
            zigzag[k] = block[annexk::kZigzagToNatural[k]];
        if (lastBlock)
            zigzag[63] = 0;
        CodeDc(zigzag[0] - component.predictor, *component.dc);
        component.predictor = zigzag[0];
        CodeAc(zigzag, *component.ac);
    }

private:
    void PutSymbol(const annexk::HuffmanCode& code) { m_bits.PutBits(code.bits, code.length); }

    // F.1.2.1.3: the category's code, then its additional bits.
    void CodeDc(int difference, const std::array<annexk::HuffmanCode, 256>& codes) {
        const int category = SizeCategory(difference);
        const annexk::HuffmanCode& code = codes[static_cast<std::size_t>(category)];
        if (code.length == 0) {
            DebugPrint("Error found in Huffman encoding !\n");
            return;
        }
        PutSymbol(code);
        m_bits.PutBits(AdditionalBits(difference, category), category);
    }

    // F.1.2.2: run/size symbols, ZRL for each run of 16 zeros before a non-zero coefficient,
    // EOB unless the last coefficient is non-zero.
    void CodeAc(const std::array<int, 64>& zigzag,
                const std::array<annexk::HuffmanCode, 256>& codes) {
        int run = 0;
        for (std::size_t k = 1; k < 64; ++k) {
            const int value = zigzag[k];
            if (value == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16)
                PutSymbol(codes[0xF0]);
            const int category = SizeCategory(value);
            const annexk::HuffmanCode& code =
                codes[static_cast<std::size_t>((run << 4 | category) & 0xFF)];
            if (code.length == 0 || category > 10) {
                DebugPrint("Error found in Huffman encoding !\n");
            } else {
                PutSymbol(code);
                m_bits.PutBits(AdditionalBits(value, category), category);
            }
            run = 0;
        }
        if (run > 0)
            PutSymbol(codes[0x00]);
    }

    Yuv422BitWriter& m_bits;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// T.81 A.2.3: MCUs of 16 x 8 pixels, left to right, top to bottom, each with the blocks
// Y(x), Y(x + 8), Cb(x / 2), Cr(x / 2).
void CodeScan(const std::pmr::vector<std::uint8_t>& luma, const std::pmr::vector<std::uint8_t>& cb,
              const std::pmr::vector<std::uint8_t>& cr, int width, int height,
              const QuantMultipliers& lumaQuant, const QuantMultipliers& chromaQuant,
              Yuv422BitWriter& bits) {
    ComponentCoding y{&lumaQuant, &annexk::kDcLuminanceCodes, &annexk::kAcLuminanceCodes};
    ComponentCoding u{&chromaQuant, &annexk::kDcChrominanceCodes, &annexk::kAcChrominanceCodes};
    ComponentCoding v{&chromaQuant, &annexk::kDcChrominanceCodes, &annexk::kAcChrominanceCodes};
    BlockCoder coder(bits);
    const std::size_t lumaStride = static_cast<std::size_t>(width);
    const std::size_t chromaStride = lumaStride / 2;
    for (int top = 0; top < height; top += 8) {
        for (int left = 0; left < width; left += 16) {
            const bool lastMcu = top + 8 >= height && left + 16 >= width;
            const std::size_t row = static_cast<std::size_t>(top);
            const std::size_t column = static_cast<std::size_t>(left);
            coder.Code(luma.data() + row * lumaStride + column, lumaStride, y, false);
            coder.Code(luma.data() + row * lumaStride + column + 8, lumaStride, y, false);
            coder.Code(cb.data() + row * chromaStride + column / 2, chromaStride, u, false);
            coder.Code(cr.data() + row * chromaStride + column / 2, chromaStride, v, lastMcu);
        }
    }
}

bool WriteFile(std::FILE* file, const std::array<std::uint8_t, kYuv422HeaderBytes>& header,
               const std::pmr::vector<std::uint8_t>& data) {
    return std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
           std::fwrite(data.data(), 1, data.size(), file) == data.size();
}

} // namespace

bool EncodeYuv422Jpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality) {
    return EncodeYuv422Jpeg(path, width, height, pixels, quality, std::pmr::get_default_resource());
}

bool EncodeYuv422Jpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality, std::pmr::memory_resource* workingMemory) {
    if (width > kMaxWidth || height > kMaxHeight || width < 1 || height < 1 || pixels == nullptr)
        return false;
    const int scale = QualityToScale(quality);

    // The size check comes before the colour conversion, which reads pixel pairs.
    if (height % 8 != 0) {
        DebugPrint("The image height (%d) must be multiples of %d\n", height, 8);
        return true;
    }
    if (width % 16 != 0) {
        DebugPrint("The image width (%d) must be multiples of %d\n", width, 16);
        return true;
    }

    // All working data, and the whole entropy-coded segment, exist before the file is created,
    // so that a failure never leaves a partial file behind.
    std::pmr::vector<std::uint8_t> data(workingMemory);
    try {
        const std::size_t lumaBytes = static_cast<std::size_t>(width) * height;
        std::pmr::vector<std::uint8_t> luma(lumaBytes, workingMemory);
        std::pmr::vector<std::uint8_t> cb(lumaBytes / 2, workingMemory);
        std::pmr::vector<std::uint8_t> cr(lumaBytes / 2, workingMemory);
        ConvertToYuv422(pixels, width, height, luma.data(), cb.data(), cr.data());

        const Yuv422QuantiserTables tables(workingMemory);
        const QuantMultipliers lumaQuant = tables.Multipliers(scale, QuantTable::kLuminance);
        const QuantMultipliers chromaQuant = tables.Multipliers(scale, QuantTable::kChrominance);

        data.reserve(lumaBytes);
        Yuv422BitWriter bits(data);
        CodeScan(luma, cb, cr, width, height, lumaQuant, chromaQuant, bits);
        bits.Finish();
    } catch (const std::bad_alloc&) {
        DebugPrint("Memory is not enough !!!\n");
        return false;
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        DebugPrint("Can not open JPEG file %s to write\n", path.c_str());
        return true;
    }
    const bool written = WriteFile(file.get(), BuildYuv422Header(width, height, scale), data);
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed)
        return false;

    const long inputBytes = static_cast<long>(width) * height * 2;
    const long outputBytes = static_cast<long>(data.size());
    DebugPrint("Input/Output byte counts = (%ld/%ld)\n", inputBytes, outputBytes);
    DebugPrint("Compression ratio = %f (Q = %d)\n",
               static_cast<double>(inputBytes) / static_cast<double>(outputBytes), scale);
    return true;
}

} // namespace fz
