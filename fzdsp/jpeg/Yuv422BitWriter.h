#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory_resource>
#include <vector>

namespace fz {

// The bit packer of the YUV422 JPEG encoder's entropy-coded segment (T.81 F.1.2.3, B.1.1.5).
// Bits are packed most significant first; every completed byte equal to 0xFF is followed by a
// stuffed 0x00, which is a byte of output like any other. The encoder writes the output in
// groups of four bytes, so the pending bits at the end are those of the last incomplete group
// (stuffed bytes included) and of the partial byte.
//
// Bits gather in a 64-bit accumulator and leave it 32 at a time; a group of four bytes without
// 0xFF among them (nearly all of them) is stored in one piece. The output vector is grown
// ahead of the bytes and holds unwritten room until Finish, which cuts it to the data.
class Yuv422BitWriter {
public:
    // The output belongs to the caller; bytes are appended to it, and the groups of four count
    // from its size at construction. Growing it may throw std::bad_alloc.
    explicit Yuv422BitWriter(std::pmr::vector<std::uint8_t>& output);

    // Appends the low `count` bits of `bits` (count 0..32).
    void PutBits(std::uint32_t bits, int count) {
        Run run(*this);
        run.Reserve(kMostBytesPerPut);
        run.PutBits(bits, count);
    }

    // One put of at most 32 bits completes at most one group of four bytes, each with a
    // stuffed zero at most.
    static constexpr std::size_t kMostBytesPerPut = 8;

    // The writer's state copied into a short-lived object, so that a stretch of calls in one
    // function keeps it in registers; it goes back to the writer when the Run ends. No other
    // use of the writer while a Run lives.
    class Run {
    public:
        explicit Run(Yuv422BitWriter& writer)
            : m_writer(writer)
            , m_accumulator(writer.m_accumulator)
            , m_bitCount(writer.m_bitCount)
            , m_cursor(writer.m_cursor)
            , m_limit(writer.m_limit) {}
        ~Run() {
            m_writer.m_accumulator = m_accumulator;
            m_writer.m_bitCount = m_bitCount;
            m_writer.m_cursor = m_cursor;
        }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

        // Makes room for `bytes` bytes of output (kMostBytesPerPut per put) ahead of the puts.
        // May throw std::bad_alloc.
        void Reserve(std::size_t bytes) {
            if (static_cast<std::size_t>(m_limit - m_cursor) < bytes) {
                m_writer.m_cursor = m_cursor;
                m_writer.Grow(bytes);
                m_cursor = m_writer.m_cursor;
                m_limit = m_writer.m_limit;
            }
        }

        // Appends the low `count` bits of `bits` (count 0..32), in room reserved before.
        void PutBits(std::uint32_t bits, int count) {
            PutCode(bits & static_cast<std::uint32_t>((std::uint64_t{1} << count) - 1), count);
        }
        // The same for a `code` already below 2^count.
        void PutCode(std::uint32_t code, int count) {
            m_accumulator = (m_accumulator << count) | code;
            m_bitCount += count;
            if (m_bitCount >= 32)
                EmitWord();
        }

    private:
        void EmitWord() {
            m_bitCount -= 32;
            const auto word = static_cast<std::uint32_t>(m_accumulator >> m_bitCount);
            // A byte of the word is 0xFF exactly when that byte of v = ~word is zero, and
            // (v - 0x01..01) & ~v & 0x80..80 is non-zero exactly when v has a zero byte: below
            // the lowest zero byte nothing borrows, so no byte there sets the bit, and the
            // lowest zero byte itself becomes 0xFF and sets it.
            const std::uint32_t inverse = ~word;
            if (((inverse - 0x01010101u) & ~inverse & 0x80808080u) == 0) {
                const std::uint8_t bytes[4] = {
                    static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
                    static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
                std::memcpy(m_cursor, bytes, 4);
                m_cursor += 4;
            } else {
                for (int shift = 24; shift >= 0; shift -= 8)
                    m_cursor = Yuv422BitWriter::PutByte(m_cursor,
                                                        static_cast<std::uint8_t>(word >> shift));
            }
        }

        Yuv422BitWriter& m_writer;
        std::uint64_t m_accumulator;
        int m_bitCount;
        std::uint8_t* m_cursor;
        std::uint8_t* m_limit;
    };

    // Bits not yet in a complete group of four bytes: 0..31.
    int PendingBits() const;

    // Ends the data and the image. With r pending bits, the last partial byte is filled with 1
    // bits (a whole 0xFF when nothing is pending) and fill bytes 0xFF lead to the end-of-image
    // marker so that the output is a whole number of groups:
    //   r = 0..8    byte | pad, FF, FF, D9
    //   r = 9..16   byte 1, byte 2 | pad, FF, D9
    //   r = 17..24  bytes 1, 2, byte 3 | pad, FF, then FF, FF, FF, D9
    //   r = 25..31  bytes 1..3, byte 4 | pad, then FF, FF, FF, D9
    // A byte that becomes 0xFF only through the padding is not stuffed. Nothing may be put
    // after it.
    void Finish();

private:
    // Writes the byte and its stuffed zero at `cursor`; returns the next place.
    static std::uint8_t* PutByte(std::uint8_t* cursor, std::uint8_t byte) {
        *cursor++ = byte;
        if (byte == 0xFF)
            *cursor++ = 0x00;
        return cursor;
    }
    void Grow(std::size_t room);

    std::pmr::vector<std::uint8_t>& m_output;
    std::size_t m_start;              // the size of m_output before the first byte
    std::uint8_t* m_cursor = nullptr; // the next byte of m_output to write
    std::uint8_t* m_limit = nullptr;  // the end of m_output's room
    std::uint64_t m_accumulator = 0;  // the low m_bitCount bits are pending
    int m_bitCount = 0;               // 0..31 between calls
};

} // namespace fz
