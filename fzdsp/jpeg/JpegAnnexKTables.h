#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The baseline example tables of ITU-T T.81 Annex K and the zigzag sequence of T.81 Figure
// A.6, stored in the compact form the standard prints; the code tables of the entropy coder are
// derived from BITS and HUFFVAL at compile time (T.81 Annex C).
namespace fz::annexk {

// ITU-T T.81 Table K.1: luminance quantization table, natural (row-major) order.
inline constexpr std::array<std::uint8_t, 64> kLuminanceQuantization = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};

// ITU-T T.81 Table K.2: chrominance quantization table, natural (row-major) order.
inline constexpr std::array<std::uint8_t, 64> kChrominanceQuantization = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

// ITU-T T.81 Figure A.6: natural index of the coefficient at each zigzag position.
inline constexpr std::array<std::uint8_t, 64> kZigzagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// A Huffman table as a DHT segment carries it: BITS[i] codes of length i + 1, then HUFFVAL.
template <std::size_t N>
struct HuffmanSpec {
    std::uint8_t tableClassAndId; // Tc << 4 | Th, as in the DHT segment
    std::array<std::uint8_t, 16> bits;
    std::array<std::uint8_t, N> values;
};

// ITU-T T.81 Table K.3: DC luminance (categories 0..11).
inline constexpr HuffmanSpec<12> kDcLuminance = {
    0x00,
    {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
};

// ITU-T T.81 Table K.4: DC chrominance (categories 0..11).
inline constexpr HuffmanSpec<12> kDcChrominance = {
    0x01,
    {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
};

// ITU-T T.81 Table K.5: AC luminance (run/size symbols RRRRSSSS, 0x00 EOB, 0xF0 ZRL).
inline constexpr HuffmanSpec<162> kAcLuminance = {
    0x10,
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 125},
    {
        0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
        0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52,
        0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25,
        0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45,
        0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x63, 0x64,
        0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83,
        0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
        0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6,
        0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3,
        0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8,
        0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA,
    },
};

// ITU-T T.81 Table K.6: AC chrominance.
inline constexpr HuffmanSpec<162> kAcChrominance = {
    0x11,
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 119},
    {
        0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
        0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1, 0x09, 0x23, 0x33,
        0x52, 0xF0, 0x15, 0x62, 0x72, 0xD1, 0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25, 0xF1, 0x17, 0x18,
        0x19, 0x1A, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44,
        0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x63,
        0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A,
        0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
        0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4,
        0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA,
        0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7,
        0xE8, 0xE9, 0xEA, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA,
    },
};

// A code word, most significant bit sent first; length 0 marks a symbol without a code.
struct HuffmanCode {
    std::uint16_t bits = 0;
    std::uint8_t length = 0;
};

// T.81 C.2 (Generate_size_table, Generate_code_table) and C.3 (Order_codes): codes are
// assigned in increasing order within a length and doubled when the length grows.
template <std::size_t N>
constexpr std::array<HuffmanCode, 256> DeriveCodes(const HuffmanSpec<N>& table) {
    std::array<HuffmanCode, 256> codes{};
    std::uint32_t code = 0;
    std::size_t k = 0;
    for (std::size_t length = 1; length <= 16; ++length) {
        for (std::uint8_t i = 0; i < table.bits[length - 1]; ++i) {
            codes[table.values[k++]] = {static_cast<std::uint16_t>(code),
                                        static_cast<std::uint8_t>(length)};
            ++code;
        }
        code <<= 1;
    }
    return codes;
}

template <std::size_t N>
constexpr std::size_t CountOf(const HuffmanSpec<N>& table) {
    std::size_t count = 0;
    for (std::uint8_t b : table.bits)
        count += b;
    return count;
}

inline constexpr std::array<HuffmanCode, 256> kDcLuminanceCodes = DeriveCodes(kDcLuminance);
inline constexpr std::array<HuffmanCode, 256> kDcChrominanceCodes = DeriveCodes(kDcChrominance);
inline constexpr std::array<HuffmanCode, 256> kAcLuminanceCodes = DeriveCodes(kAcLuminance);
inline constexpr std::array<HuffmanCode, 256> kAcChrominanceCodes = DeriveCodes(kAcChrominance);

// The BITS counts agree with the HUFFVAL lists.
static_assert(CountOf(kDcLuminance) == 12 && CountOf(kDcChrominance) == 12);
static_assert(CountOf(kAcLuminance) == 162 && CountOf(kAcChrominance) == 162);
// One DHT segment carrying all four tables: a class/identifier byte, 16 counts and the values
// per table.
inline constexpr std::size_t kDhtPayloadBytes = 4 * 17 + 12 + 12 + 162 + 162;
static_assert(kDhtPayloadBytes == 416);
// T.81 Annex K spot values: DC luminance category 0 is 00, AC luminance EOB 1010 and
// ZRL 11111111001, AC chrominance EOB 00 and ZRL 1111111010.
static_assert(kDcLuminanceCodes[0].bits == 0b00 && kDcLuminanceCodes[0].length == 2);
static_assert(kAcLuminanceCodes[0x00].bits == 0b1010 && kAcLuminanceCodes[0x00].length == 4);
static_assert(kAcLuminanceCodes[0xF0].bits == 0b11111111001 &&
              kAcLuminanceCodes[0xF0].length == 11);
static_assert(kAcChrominanceCodes[0x00].bits == 0 && kAcChrominanceCodes[0x00].length == 2);
static_assert(kAcChrominanceCodes[0xF0].bits == 0b1111111010 &&
              kAcChrominanceCodes[0xF0].length == 10);
// Every DC category 0..11 has a code, and so has every AC run 0..15 with size 1..10.
constexpr bool HasAllCodes(const std::array<HuffmanCode, 256>& dc,
                           const std::array<HuffmanCode, 256>& ac) {
    for (int category = 0; category < 12; ++category)
        if (dc[category].length == 0)
            return false;
    for (int run = 0; run < 16; ++run)
        for (int size = 1; size <= 10; ++size)
            if (ac[run << 4 | size].length == 0)
                return false;
    return true;
}
static_assert(HasAllCodes(kDcLuminanceCodes, kAcLuminanceCodes));
static_assert(HasAllCodes(kDcChrominanceCodes, kAcChrominanceCodes));

} // namespace fz::annexk
