// Fuzz target for the frame-record reader: the walk over a frame file held in an exact-size
// heap copy (so the address sanitizer sees any read past its end) must hand out records that
// lie inside the bytes, one after another without gaps, and end either at the end of the file
// or at damage.
#include "fzdsp/formats/FrameRecord.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "frame_record_fuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto copy = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    const std::uint8_t* begin = copy.get();
    fz::FrameRecordReader reader({begin, size});
    std::size_t expected = 0;
    while (const auto record = reader.Next()) {
        if (record->offset != expected)
            Fail("a record does not start where the previous one ended");
        const std::uint8_t* image = record->image.data();
        if (image != begin + record->offset + fz::kFrameRecordHeaderSize ||
            record->image.size() > size - record->offset - fz::kFrameRecordHeaderSize)
            Fail("an image lies outside the bytes");
        std::int32_t length = 0;
        std::memcpy(&length, begin + record->offset + 4, 4);
        if (length < 0 || static_cast<std::size_t>(length) != record->image.size())
            Fail("an image's size differs from its header");
        unsigned sum = 0; // every byte handed out is readable
        for (const std::uint8_t byte : record->image)
            sum += byte;
        (void)sum;
        expected = record->offset + fz::kFrameRecordHeaderSize + record->image.size();
        if (reader.Position() != expected)
            Fail("the reader's position is not after the record");
    }
    if (!reader.IsDamaged() && reader.Position() != size)
        Fail("a clean walk did not end at the end of the bytes");
    if (reader.Position() > size)
        Fail("the position runs past the bytes");
    return 0;
}
