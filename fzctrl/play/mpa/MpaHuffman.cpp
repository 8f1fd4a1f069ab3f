#include "fzctrl/play/mpa/MpaHuffman.h"

#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

namespace fz::mpa {

namespace {

constexpr int kRootBits = 8;
constexpr int kLevelBits = 4;

struct BuildCode {
    int length;
    std::uint32_t bits;
    int value;
};

// Fills the level of `width` bits at `offset` for the codes that share the first `consumed`
// bits, and the levels below it. Returns false when the pool is too small.
bool BuildLevel(HuffmanDecodeTables& tables, const std::vector<BuildCode>& codes, int consumed,
                int width, int offset) {
    const int size = 1 << width;
    for (int i = 0; i < size; ++i) {
        // Only an incomplete code leaves holes; they decode as zero and use the whole level.
        tables.pool[static_cast<std::size_t>(offset + i)] = static_cast<std::uint32_t>(width);
    }
    std::vector<std::vector<BuildCode>> groups(static_cast<std::size_t>(size));
    for (const BuildCode& code : codes) {
        int rest = code.length - consumed;
        if (rest <= width) {
            int prefix = static_cast<int>(code.bits & ((1u << rest) - 1)) << (width - rest);
            for (int i = 0; i < (1 << (width - rest)); ++i) {
                tables.pool[static_cast<std::size_t>(offset + prefix + i)] =
                    (static_cast<std::uint32_t>(code.value) << 8) |
                    static_cast<std::uint32_t>(rest);
            }
        } else {
            int index = static_cast<int>((code.bits >> (rest - width)) & ((1u << width) - 1));
            groups[static_cast<std::size_t>(index)].push_back(code);
        }
    }
    for (int i = 0; i < size; ++i) {
        const auto& group = groups[static_cast<std::size_t>(i)];
        if (group.empty()) {
            continue;
        }
        int longest = 0;
        for (const BuildCode& code : group) {
            longest = std::max(longest, code.length);
        }
        int subWidth = std::min(kLevelBits, longest - consumed - width);
        int subOffset = tables.poolUsed;
        if (subOffset + (1 << subWidth) > HuffmanDecodeTables::kPoolSize) {
            return false;
        }
        tables.poolUsed += 1 << subWidth;
        tables.pool[static_cast<std::size_t>(offset + i)] =
            HuffmanDecodeTables::kLink | (static_cast<std::uint32_t>(subOffset) << 8) |
            static_cast<std::uint32_t>(subWidth);
        if (!BuildLevel(tables, group, consumed + width, subWidth, subOffset)) {
            return false;
        }
    }
    return true;
}

int DecodeFrom(MpaBitReader& bits, std::uint32_t link) {
    const auto& pool = Layer3Tables().huffman.pool;
    std::uint32_t entry = link;
    while (entry & HuffmanDecodeTables::kLink) {
        int width = static_cast<int>(entry & 0xFF);
        int offset = static_cast<int>((entry & ~HuffmanDecodeTables::kLink) >> 8);
        entry = pool[static_cast<std::size_t>(offset) + bits.Peek(width)];
        if (entry & HuffmanDecodeTables::kLink) {
            bits.Skip(width);
        }
    }
    bits.Skip(static_cast<int>(entry & 0xFF));
    return static_cast<int>(entry >> 8);
}

} // namespace

void HuffmanBuildDecodeTables(HuffmanDecodeTables& tables) {
    tables.poolUsed = 0;
    for (std::size_t t = 0; t < kHuffmanCodeTables.size(); ++t) {
        const HuffmanCodeTable& table = kHuffmanCodeTables[t];
        std::vector<BuildCode> codes;
        for (int x = 0; x < table.size; ++x) {
            for (int y = 0; y < table.size; ++y) {
                const HuffmanCode& code = table.codes[x * table.size + y];
                codes.push_back({code.length, code.bits, x * 16 + y});
            }
        }
        int width = std::min(kRootBits, table.maxLength);
        int offset = tables.poolUsed;
        tables.poolUsed += 1 << width;
        tables.root[t] = HuffmanDecodeTables::kLink | (static_cast<std::uint32_t>(offset) << 8) |
                         static_cast<std::uint32_t>(width);
        [[maybe_unused]] bool fits = BuildLevel(tables, codes, 0, width, offset);
        assert(fits);
    }
    // Count1 table A: six bits at most.
    tables.count1A.fill(6);
    for (int v = 0; v < 16; ++v) {
        const HuffmanCode& code = kHuffmanCount1A[static_cast<std::size_t>(v)];
        int spread = 6 - code.length;
        for (int i = 0; i < (1 << spread); ++i) {
            tables.count1A[(code.bits << spread) + static_cast<std::uint32_t>(i)] =
                (static_cast<std::uint32_t>(v) << 8) | code.length;
        }
    }
}

int HuffmanDecodePair(MpaBitReader& bits, int codeTable) {
    return DecodeFrom(bits, Layer3Tables().huffman.root[static_cast<std::size_t>(codeTable)]);
}

int HuffmanDecodeQuad(MpaBitReader& bits, int count1TableSelect) {
    if (count1TableSelect != 0) {
        // Table B codes 8 v + 4 w + 2 x + y as its complement in four bits.
        return static_cast<int>(~bits.Read(4) & 15u);
    }
    std::uint32_t entry = Layer3Tables().huffman.count1A[bits.Peek(6)];
    bits.Skip(static_cast<int>(entry & 0xFF));
    return static_cast<int>(entry >> 8);
}

namespace {

// The 64 bits from bit `pos` of `data` on, most significant first. The caller makes sure that
// bytes data[pos / 8] .. data[pos / 8 + 7] are inside the reader's data.
std::uint64_t Window64(const std::uint8_t* data, int pos) {
    std::uint64_t word;
    std::memcpy(&word, data + (pos >> 3), sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word << (pos & 7);
}

// A 64-bit window over the reader's data that is reloaded only when fewer bits are left in it
// than the next code may need, so that one code's table lookup waits for a shift, not a load.
// It reloads only at positions at least 64 bits before the reader's end, so that every bit it
// holds lies inside the data; nearer the end Ensure fails and the caller reads through the bit
// reader.
class BitWindow {
public:
    explicit BitWindow(const MpaBitReader& bits)
        : m_data(bits.Data())
        , m_reloadEnd(bits.EndBit() - 64)
        , m_pos(bits.Position()) {}

    // At least `need` (1..57) bits available in Bits(); false when they would have to be loaded
    // from the last 64 bits of the data.
    bool Ensure(int need) {
        if (m_valid >= need) {
            return true;
        }
        if (m_pos > m_reloadEnd) {
            return false;
        }
        m_window = Window64(m_data, m_pos);
        m_valid = 64 - (m_pos & 7);
        return true;
    }
    std::uint64_t Bits() const { return m_window; }
    void Consume(int used) {
        m_window <<= used;
        m_valid -= used;
        m_pos += used;
    }
    int Position() const { return m_pos; }
    // Continues at `pos` (after the caller read through the bit reader).
    void MoveTo(int pos) {
        m_pos = pos;
        m_valid = 0;
    }

private:
    const std::uint8_t* m_data;
    int m_reloadEnd;
    int m_pos;
    std::uint64_t m_window = 0;
    int m_valid = 0;
};

// The longest big_values code is 19 bits; each value adds its linbits and a sign bit.
constexpr int kLongestPairCode = 19;
// A count1 code is at most 6 bits, with up to four sign bits.
constexpr int kLongestQuad = 10;

// The next `count` (1..32) bits of `window` from bit `used` on.
inline std::uint32_t Take(std::uint64_t window, int used, int count) {
    return static_cast<std::uint32_t>((window << used) >> (64 - count));
}

// One big_values pair with its linbits and signs from a 64-bit window that holds all the bits it
// may use (kLongestPairCode + 2 (linbits + 1)). Returns the bits used.
inline int DecodePairFromWindow(std::uint64_t window, std::uint32_t root, int linbits,
                                const std::uint32_t* pool, int& xOut, int& yOut) {
    int used = 0;
    std::uint32_t entry = root;
    while (entry & HuffmanDecodeTables::kLink) {
        const int width = static_cast<int>(entry & 0xFF);
        const std::uint32_t offset = (entry & ~HuffmanDecodeTables::kLink) >> 8;
        entry = pool[offset + Take(window, used, width)];
        if (entry & HuffmanDecodeTables::kLink) {
            used += width;
        }
    }
    used += static_cast<int>(entry & 0xFF);
    int x = static_cast<int>(entry >> 12);
    int y = static_cast<int>((entry >> 8) & 15);
    if (linbits != 0 && x == 15) {
        x += static_cast<int>(Take(window, used, linbits));
        used += linbits;
    }
    // A sign bit follows each non-zero value: negate by (v ^ -s) + s, count the bit only if
    // it was sent.
    const int xSign = static_cast<int>(Take(window, used, 1)) & (x != 0);
    used += x != 0;
    x = (x ^ -xSign) + xSign;
    if (linbits != 0 && y == 15) {
        y += static_cast<int>(Take(window, used, linbits));
        used += linbits;
    }
    const int ySign = static_cast<int>(Take(window, used, 1)) & (y != 0);
    used += y != 0;
    y = (y ^ -ySign) + ySign;
    xOut = x;
    yOut = y;
    return used;
}

// One count1 quadruple with its signs from a 64-bit window (kLongestQuad bits): table A from
// its 6-bit lookup, table B as the complement of four bits. Returns the bits used.
inline int DecodeQuadFromWindow(std::uint64_t window, int count1TableSelect,
                                const std::uint32_t* count1A, int (&v)[4]) {
    int used = 4;
    int quad = static_cast<int>(~Take(window, 0, 4) & 15u);
    if (count1TableSelect == 0) {
        const std::uint32_t entry = count1A[Take(window, 0, 6)];
        used = static_cast<int>(entry & 0xFF);
        quad = static_cast<int>(entry >> 8);
    }
    for (int i = 0; i < 4; ++i) {
        const int value = (quad >> (3 - i)) & 1;
        const int sign = static_cast<int>(Take(window, used, 1)) & value;
        used += value;
        v[i] = value - 2 * sign;
    }
    return used;
}

} // namespace

// Away from the end of the data codes are decoded from a BitWindow; the last 64 bits go through
// the bit reader, which supplies zeros past the end. Both give the same values.
int HuffmanDecodeGranule(MpaBitReader& bits, const Layer3GranuleInfo& granule, int part3EndBit,
                         int (&values)[576]) {
    const std::uint32_t* pool = Layer3Tables().huffman.pool.data();
    BitWindow window(bits);
    const int bigLines = 2 * std::min(granule.bigValues, 288);
    const int regionEnds[3] = {granule.region1Start, granule.region2Start, bigLines};
    int line = 0;
    int nonZeroEnd = 0;
    for (int region = 0; region < 3; ++region) {
        const int end = regionEnds[region];
        const HuffmanTableSelect select =
            kHuffmanTableSelect[static_cast<std::size_t>(granule.tableSelect[region] & 31)];
        if (select.codeTable < 0) {
            // Table 0 (and the unused 4 and 14, which the side information rejects where they
            // would code anything): every value is zero and no bits are sent.
            for (; line < end; ++line) {
                values[line] = 0;
            }
            continue;
        }
        const int linbits = select.linbits;
        const int need = kLongestPairCode + 2 * (linbits + 1);
        const std::uint32_t root =
            Layer3Tables().huffman.root[static_cast<std::size_t>(select.codeTable)];
        for (; line < end; line += 2) {
            int x = 0;
            int y = 0;
            if (window.Ensure(need)) {
                window.Consume(DecodePairFromWindow(window.Bits(), root, linbits, pool, x, y));
            } else {
                bits.Skip(window.Position() - bits.Position());
                const int pair = HuffmanDecodePair(bits, select.codeTable);
                x = pair >> 4;
                y = pair & 15;
                if (linbits != 0 && x == 15) {
                    x += static_cast<int>(bits.Read(linbits));
                }
                if (x != 0 && bits.Read(1) != 0) {
                    x = -x;
                }
                if (linbits != 0 && y == 15) {
                    y += static_cast<int>(bits.Read(linbits));
                }
                if (y != 0 && bits.Read(1) != 0) {
                    y = -y;
                }
                window.MoveTo(bits.Position());
            }
            values[line] = x;
            values[line + 1] = y;
            if ((x | y) != 0) {
                nonZeroEnd = line + (y != 0 ? 2 : 1);
            }
        }
    }

    const std::uint32_t* count1A = Layer3Tables().huffman.count1A.data();
    while (line + 4 <= kGranuleLines && window.Position() < part3EndBit) {
        int v[4];
        if (window.Ensure(kLongestQuad)) {
            window.Consume(
                DecodeQuadFromWindow(window.Bits(), granule.count1TableSelect, count1A, v));
        } else {
            bits.Skip(window.Position() - bits.Position());
            const int quad = HuffmanDecodeQuad(bits, granule.count1TableSelect);
            for (int i = 0; i < 4; ++i) {
                v[i] = (quad >> (3 - i)) & 1;
                if (v[i] != 0 && bits.Read(1) != 0) {
                    v[i] = -1;
                }
            }
            window.MoveTo(bits.Position());
        }
        if (window.Position() > part3EndBit) {
            break;
        }
        for (int i = 0; i < 4; ++i) {
            values[line + i] = v[i];
            if (v[i] != 0) {
                nonZeroEnd = line + i + 1;
            }
        }
        line += 4;
    }
    bits.Skip(window.Position() - bits.Position());
    for (; line < kGranuleLines; ++line) {
        values[line] = 0;
    }
    return nonZeroEnd;
}

} // namespace fz::mpa
