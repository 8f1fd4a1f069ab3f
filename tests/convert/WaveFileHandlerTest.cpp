#include "fzctrl/convert/CMemoryMapper.h"
#include "fzctrl/convert/CWaveFileHandler.h"
#include "fzctrl/convert/WaveChunkLocator.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using fz::CWaveFileError;
using fz::CWaveFileHandler;
using fz::test::FreshWorkDir;
using fz::test::WriteFile;

std::string Le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Chunk(const std::string& id, std::uint32_t size, const std::string& body) {
    return id + Le32(size) + body;
}

std::string Chunk(const std::string& id, const std::string& body) {
    return Chunk(id, static_cast<std::uint32_t>(body.size()), body);
}

std::string Wave(const std::string& chunks) {
    return "RIFF" + Le32(0) + "WAVE" + chunks;
}

// A PCM format body: mono, 8000 Hz, 16 bits, padded or cut to `size` bytes.
std::string FmtBody(std::size_t size) {
    std::string body = std::string("\x01\x00\x01\x00", 4) + Le32(8000) + Le32(16000) +
                       std::string("\x02\x00\x10\x00", 4);
    body.resize(size, '\0');
    return body;
}

const std::string kSamples = "\x11\x22\x33\x44\x55\x66";

std::string WriteWave(const std::string& name, const std::string& bytes) {
    auto path = FreshWorkDir("wave") / name;
    WriteFile(path, bytes);
    return path.string();
}

// Opens and returns the offsets of GetFmt and GetData into the file, with their sizes.
struct Opened {
    std::size_t fmtOffset;
    std::uint32_t fmtSize;
    std::size_t dataOffset;
    std::uint32_t dataSize;
};

Opened Open(CWaveFileHandler& handler, const std::string& path) {
    handler.OpenForRead(path);
    Opened o{};
    const auto* fmt = reinterpret_cast<const std::uint8_t*>(handler.GetFmt(o.fmtSize));
    const std::uint8_t* data = handler.GetData(o.dataSize);
    const std::uint8_t* start = fmt - 12;
    EXPECT_EQ(std::memcmp(start, "RIFF", 4), 0);
    o.fmtOffset = static_cast<std::size_t>(fmt - start);
    o.dataOffset = static_cast<std::size_t>(data - start);
    return o;
}

std::string ErrorOf(const std::string& path) {
    CWaveFileHandler handler;
    try {
        handler.OpenForRead(path);
    } catch (const CWaveFileError& error) {
        return error.Message();
    }
    return "accepted";
}

TEST(WaveFileHandlerTest, FindsFmtAndDataInAcceptedLayouts) {
    struct Case {
        const char* what;
        std::string bytes;
        std::uint32_t fmtSize;
        std::size_t dataOffset;
        std::uint32_t dataSize;
    };
    const Case cases[] = {
        {"canonical 44-byte header", Wave(Chunk("fmt ", FmtBody(16)) + Chunk("data", kSamples)), 24,
         44, 6},
        {"18-byte fmt, then fact: the search starts at 38 and skips fact",
         Wave(Chunk("fmt ", FmtBody(18)) + Chunk("fact", Le32(3)) + Chunk("data", kSamples)), 26,
         58, 6},
        {"14-byte fmt: the search still starts at 36, two bytes into the next chunk",
         Wave(Chunk("fmt ", FmtBody(14)) + "xx" + Chunk("data", kSamples)), 22, 44, 6},
        {"odd chunk sizes are not padded",
         Wave(Chunk("fmt ", FmtBody(16)) + Chunk("LIST", "abc") + Chunk("data", kSamples)), 24, 55,
         6},
        {"a data size beyond the file is cut to the file",
         Wave(Chunk("fmt ", FmtBody(16)) + Chunk("data", 0xFFFFFFF0u, kSamples)), 24, 44, 6},
        {"an empty data chunk at the very end",
         Wave(Chunk("fmt ", FmtBody(16)) + Chunk("data", "")), 24, 44, 0},
    };
    for (const Case& c : cases) {
        CWaveFileHandler handler;
        const Opened o = Open(handler, WriteWave("ok.wav", c.bytes));
        EXPECT_EQ(o.fmtOffset, 12u) << c.what;
        EXPECT_EQ(o.fmtSize, c.fmtSize) << c.what;
        EXPECT_EQ(o.dataOffset, c.dataOffset) << c.what;
        EXPECT_EQ(o.dataSize, c.dataSize) << c.what;
    }
}

TEST(WaveFileHandlerTest, RefusesDamagedFilesWithTheirTexts) {
    const std::string fmt = Chunk("fmt ", FmtBody(16));
    struct Case {
        const char* what;
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"zero-length file", "", fz::kWaveErrorMapping},
        {"no RIFF", "RIFX" + Le32(0) + "WAVE" + fmt + Chunk("data", kSamples),
         fz::kWaveErrorRiffHeader},
        {"no WAVE", "RIFF" + Le32(0) + "AVI " + fmt + Chunk("data", kSamples),
         fz::kWaveErrorRiffHeader},
        {"shorter than the RIFF header", "RIFF\0\0", fz::kWaveErrorRiffHeader},
        {"another chunk before fmt", Wave(Chunk("fact", Le32(1)) + fmt + Chunk("data", kSamples)),
         fz::kWaveErrorFmtChunk},
        {"ends inside the fmt chunk header", Wave("fmt \x10"), fz::kWaveErrorFmtChunk},
        {"ends after fmt", Wave(fmt), fz::kWaveErrorDataChunk},
        {"data header cut short", Wave(fmt + "data\x06\x00"), fz::kWaveErrorDataChunk},
        {"14-byte fmt with data right after it (the search begins inside it)",
         Wave(Chunk("fmt ", FmtBody(14)) + Chunk("data", std::string(8, '\0'))),
         fz::kWaveErrorDataChunk},
        {"fmt size near 2^32 must not wrap the search position",
         Wave(Chunk("fmt ", 0xFFFFFFF0u, FmtBody(16)) + Chunk("data", kSamples)),
         fz::kWaveErrorDataChunk},
        {"a chunk size near 2^32 must not wrap the walk",
         Wave(fmt + Chunk("LIST", 0xFFFFFFF8u, "") + Chunk("data", kSamples)),
         fz::kWaveErrorDataChunk},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf(WriteWave("bad.wav", c.bytes)), c.error) << c.what;
    EXPECT_EQ(ErrorOf((FreshWorkDir("missing") / "none.wav").string()), fz::kWaveErrorMapping);
    EXPECT_EQ(ErrorOf(FreshWorkDir("folder").string()), fz::kWaveErrorMapping);
}

TEST(WaveFileHandlerTest, AFailedOpenReleasesTheFileOpenedBefore) {
    CWaveFileHandler handler;
    const std::string good =
        WriteWave("good.wav", Wave(Chunk("fmt ", FmtBody(16)) + Chunk("data", kSamples)));
    Open(handler, good);
    EXPECT_THROW(handler.OpenForRead(good + ".missing"), CWaveFileError);
    // Reopening after the failure works and gives the same view.
    const Opened o = Open(handler, good);
    EXPECT_EQ(o.dataOffset, 44u);
    std::uint32_t size = 0;
    EXPECT_EQ(std::memcmp(handler.GetData(size), kSamples.data(), kSamples.size()), 0);
}

TEST(WaveFileHandlerTest, LocatorNeverReadsPastTheBytesItIsGiven) {
    // Every prefix of a valid file, each in a heap block of exactly its size, so that the
    // sanitizer sees any read beyond it.
    const std::string full =
        Wave(Chunk("fmt ", FmtBody(18)) + Chunk("fact", Le32(3)) + Chunk("data", kSamples));
    for (std::size_t n = 0; n <= full.size(); ++n) {
        auto copy = std::make_unique<std::uint8_t[]>(n == 0 ? 1 : n);
        std::memcpy(copy.get(), full.data(), n);
        const fz::WaveLocateResult result = fz::LocateWaveChunks(copy.get(), n);
        if (n < 58) {
            EXPECT_NE(result.error, nullptr) << n;
        } else {
            ASSERT_EQ(result.error, nullptr) << n;
            EXPECT_EQ(result.chunks.dataOffset, 50u);
            EXPECT_EQ(result.chunks.dataSize, n - 58) << "cut to the bytes present";
        }
    }
}

TEST(MemoryMapperTest, MapsWholeFilesAndRefusesEmptyOnes) {
    auto dir = FreshWorkDir("mapper");
    WriteFile(dir / "frames", "\xFF\xD8 abc \xFF\xD9");
    WriteFile(dir / "empty", "");
    fz::CMemoryMapper mapper;
    ASSERT_TRUE(mapper.Open((dir / "frames").string()));
    EXPECT_EQ(mapper.Size(), 9u);
    EXPECT_EQ(mapper.Data()[0], 0xFF);
    EXPECT_FALSE(mapper.Open((dir / "empty").string()));
    EXPECT_EQ(mapper.Data(), nullptr);
    EXPECT_EQ(mapper.Size(), 0u);
    mapper.Close();
    mapper.Close();
}

} // namespace
