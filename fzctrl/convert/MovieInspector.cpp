#include "fzctrl/convert/MovieInspector.h"

#include "fzctrl/convert/AdpcmCodec.h"
#include "fzctrl/convert/MovieContainer.h"

#include <algorithm>
#include <cstring>

namespace fz {
namespace {

constexpr std::size_t kImageLengthCopy = 14; // bytes 14..17 of an image repeat its length

class Checker {
public:
    Checker(std::span<const std::uint8_t> bytes, MovieInspection& result)
        : m_bytes(bytes)
        , m_result(result) {}

    std::uint32_t U32(std::size_t offset) const { return ReadLe32(m_bytes.data() + offset); }
    std::uint16_t U16(std::size_t offset) const { return ReadLe16(m_bytes.data() + offset); }
    bool Tag(std::size_t offset, const char* tag) const {
        return std::memcmp(m_bytes.data() + offset, tag, 4) == 0;
    }

    void Fault(std::string text) { m_result.faults.push_back(std::move(text)); }

    void Expect32(std::size_t offset, std::uint64_t expected, const char* what) {
        const std::uint32_t value = U32(offset);
        if (value != expected)
            Fault(std::string(what) + " at offset " + std::to_string(offset) + " is " +
                  std::to_string(value) + ", expected " + std::to_string(expected));
    }
    void Expect16(std::size_t offset, std::uint32_t expected, const char* what) {
        const std::uint16_t value = U16(offset);
        if (value != expected)
            Fault(std::string(what) + " at offset " + std::to_string(offset) + " is " +
                  std::to_string(value) + ", expected " + std::to_string(expected));
    }
    void ExpectTag(std::size_t offset, const char* tag) {
        if (!Tag(offset, tag))
            Fault(std::string("no \"") + tag + "\" at offset " + std::to_string(offset));
    }
    void ExpectZeros(std::size_t offset, std::size_t count, const char* what) {
        for (std::size_t i = 0; i < count; ++i)
            if (m_bytes[offset + i] != 0) {
                Fault(std::string(what) + " at offset " + std::to_string(offset) + " is not zero");
                return;
            }
    }

private:
    std::span<const std::uint8_t> m_bytes;
    MovieInspection& m_result;
};

void CheckHead(Checker& check, MovieInspection& r) {
    const std::uint64_t size = r.fileSize;
    if (!check.Tag(0, "MP4\0"))
        check.Fault("the file does not start with \"MP4\" and a zero byte");
    check.Expect32(4, size - 8, "file size - 8");
    check.Expect32(8, kMovieAudioKindAdpcm, "audio kind");
    check.Expect32(12, kMovieFirstRecordOffset, "first frame record offset");
    check.Expect32(28, size - 32, "file size - 32");
    check.ExpectTag(32, "LIST");
    check.Expect32(36, 112, "LIST size");
    check.ExpectTag(40, "VIDE");
    check.Expect32(44, 60, "VIDE size");
    check.ExpectZeros(56, 8, "reserved video field");
    check.ExpectZeros(72, 8, "reserved video field");
    check.Expect32(88, kMovieVideoDataChunkOffset, "video DATA offset");
    check.ExpectZeros(92, 16, "reserved video field");
    check.ExpectTag(108, "AUDI");
    check.Expect32(112, 36, "AUDI size");
    check.Expect16(116, 2, "AUDI field");
    check.Expect16(118, 1, "AUDI field");
    check.Expect32(120, kMovieAudioRate, "audio sample rate");
    check.Expect32(124, AdpcmBytesPerSecond(kMovieAudioRate), "audio bytes per second");
    check.Expect16(128, kMovieAudioBlockSize, "audio block size");
    check.Expect16(130, kMovieAudioBitsPerSample, "audio bits per sample");
    check.ExpectZeros(136, 16, "reserved audio field");
    check.ExpectTag(152, "DATA");
    check.Expect32(160, 0, "video DATA second field");

    r.frameDurationMs = check.U32(48);
    r.largestFrame = check.U32(52);
    r.frameCountField = check.U32(64);
    r.videoStartOffsetMs = check.U32(68);
    r.width = check.U32(80);
    r.height = check.U32(84);
    if (r.width == 0 || r.height == 0)
        check.Fault("the picture size " + std::to_string(r.width) + " x " +
                    std::to_string(r.height) + " is empty");
}

void CheckFrames(std::span<const std::uint8_t> bytes, Checker& check, MovieInspection& r,
                 std::size_t end) {
    std::size_t at = kMovieFirstRecordOffset;
    std::uint64_t longest = 0;
    std::uint32_t lastTime = 0;
    std::size_t sizeFaults = 0;
    while (end - at >= 8) {
        const std::uint32_t time = check.U32(at);
        const std::uint32_t length = check.U32(at + 4);
        if (length < kImageLengthCopy + 4 || length > end - at - 8) {
            check.Fault("frame record " + std::to_string(r.frames.size()) + " at offset " +
                        std::to_string(at) + " claims " + std::to_string(length) +
                        " image bytes, " + std::to_string(end - at - 8) + " remain");
            return;
        }
        const auto image = bytes.subspan(at + 8, length);
        InspectedFrame frame{at, time, length, 0, 0};
        const std::string name = "frame " + std::to_string(r.frames.size());
        if (image[0] != 0xFF || image[1] != 0xD8 || image[length - 2] != 0xFF ||
            image[length - 1] != 0xD9)
            check.Fault(name + " is not one JPEG image from FF D8 to FF D9");
        if (ReadLe32(image.data() + kImageLengthCopy) != length)
            check.Fault(name + " does not repeat its length in its bytes 14 to 17");
        if (!ReadJpegSize(image, frame.width, frame.height)) {
            check.Fault(name + " has no JPEG frame header");
        } else if (static_cast<std::uint32_t>(frame.width) != r.width ||
                   static_cast<std::uint32_t>(frame.height) != r.height) {
            if (sizeFaults++ == 0)
                check.Fault(name + " is " + std::to_string(frame.width) + " x " +
                            std::to_string(frame.height) + ", the header says " +
                            std::to_string(r.width) + " x " + std::to_string(r.height));
        }
        if (!r.frames.empty() && time < lastTime)
            check.Fault(name + " has a time stamp (" + std::to_string(time) +
                        " ms) before the previous one");
        lastTime = time;
        longest = std::max<std::uint64_t>(longest, length);
        r.frames.push_back(frame);
        at += 8 + static_cast<std::size_t>(length);
    }
    if (end - at >= 4)
        check.Fault("the video section ends with " + std::to_string(end - at) +
                    " bytes that are no frame record");
    else
        check.ExpectZeros(at, end - at, "video padding");
    if (r.frames.size() != r.frameCountField)
        check.Fault("the header counts " + std::to_string(r.frameCountField) +
                    " frames, the video section holds " + std::to_string(r.frames.size()));
    if (!r.frames.empty() && r.largestFrame < longest + 2)
        check.Fault("the largest-frame field (" + std::to_string(r.largestFrame) +
                    ") is below the longest image + 2 (" + std::to_string(longest + 2) + ")");
    if (sizeFaults > 1)
        check.Fault(std::to_string(sizeFaults) + " frames in all differ from the header's size");
}

void CheckSound(std::span<const std::uint8_t> bytes, Checker& check, MovieInspection& r,
                std::size_t waveOffset) {
    const std::size_t available = bytes.size() - waveOffset;
    if (available < kMovieWaveHeaderSize) {
        check.Fault("the sound section holds " + std::to_string(available) +
                    " bytes, less than a WAVE header");
        return;
    }
    const std::size_t w = waveOffset;
    check.ExpectTag(w, "RIFF");
    check.ExpectTag(w + 8, "WAVE");
    check.ExpectTag(w + 12, "fmt ");
    check.Expect32(w + 16, 20, "WAVE format size");
    check.Expect16(w + 20, kWaveFormatImaAdpcm, "WAVE format tag");
    check.Expect32(w + 24, kMovieAudioRate, "WAVE sample rate");
    check.Expect32(w + 28, AdpcmBytesPerSecond(kMovieAudioRate), "WAVE bytes per second");
    check.Expect16(w + 34, kMovieAudioBitsPerSample, "WAVE bits per sample");
    check.Expect16(w + 36, 2, "WAVE extra format bytes");
    check.ExpectTag(w + 40, "fact");
    check.Expect32(w + 44, 4, "WAVE fact size");
    check.ExpectTag(w + 52, "data");

    r.hasSound = true;
    r.channels = check.U16(w + 22);
    r.sampleRate = check.U32(w + 24);
    r.blockSize = check.U16(w + 32);
    r.samplesPerBlock = check.U16(w + 38);
    r.soundFrames = check.U32(w + 48);
    const std::uint32_t dataSize = check.U32(w + 56);
    if (r.channels != 1)
        check.Fault("the sound has " + std::to_string(r.channels) + " channels; movies carry one");
    if (r.blockSize != kMovieAudioBlockSize || r.samplesPerBlock != kMovieAudioSamplesPerBlock)
        check.Fault("the sound's blocks are " + std::to_string(r.blockSize) + " bytes of " +
                    std::to_string(r.samplesPerBlock) + " samples, expected 256 of 505");
    check.Expect32(w + 4, static_cast<std::uint64_t>(dataSize) + 52, "WAVE RIFF size");
    const std::uint64_t blocks =
        MovieAdpcmDataSize(r.soundFrames, std::max<std::uint16_t>(r.channels, 1));
    if (dataSize != blocks)
        check.Fault("the sound's data holds " + std::to_string(dataSize) + " bytes, " +
                    std::to_string(r.soundFrames) + " samples need " + std::to_string(blocks));
    if (dataSize != available - kMovieWaveHeaderSize)
        check.Fault("the sound's data claims " + std::to_string(dataSize) +
                    " bytes, the file has " + std::to_string(available - kMovieWaveHeaderSize) +
                    " after its header");
    r.adpcmOffset = w + kMovieWaveHeaderSize;
    r.adpcmSize = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(dataSize, available - kMovieWaveHeaderSize));
}

} // namespace

std::uint64_t MovieInspection::PictureDurationMs() const {
    return static_cast<std::uint64_t>(frames.size()) * frameDurationMs;
}

std::uint64_t MovieInspection::SoundDurationMs() const {
    return sampleRate == 0 ? 0 : static_cast<std::uint64_t>(soundFrames) * 1000 / sampleRate;
}

MovieInspection InspectMovie(std::span<const std::uint8_t> bytes) {
    MovieInspection r;
    r.fileSize = bytes.size();
    Checker check(bytes, r);
    if (bytes.size() < kMovieFixedSize) {
        check.Fault("the file holds " + std::to_string(bytes.size()) +
                    " bytes, less than a movie's 176 bytes of headers");
        return r;
    }
    if (bytes.size() > 0xFFFFFFFFu)
        check.Fault("the file is longer than its 32-bit sizes can describe");
    CheckHead(check, r);

    r.videoSize = check.U32(16);
    r.audioSize = check.U32(24);
    check.Expect32(156, r.videoSize, "video DATA size");
    check.Expect32(132, kMovieFirstRecordOffset + static_cast<std::uint64_t>(r.videoSize),
                   "audio DATA offset");
    check.Expect32(20, kMovieFixedSize + static_cast<std::uint64_t>(r.videoSize),
                   "audio section offset");
    if (r.videoSize % 4 != 0)
        check.Fault("the video section size " + std::to_string(r.videoSize) +
                    " is not a multiple of 4");
    const std::uint64_t audioHeader =
        kMovieFirstRecordOffset + static_cast<std::uint64_t>(r.videoSize);
    if (audioHeader + kMovieDataChunkHeaderSize > bytes.size()) {
        check.Fault("the video section (" + std::to_string(r.videoSize) +
                    " bytes) runs past the end of the file");
        CheckFrames(bytes, check, r, bytes.size());
        return r;
    }
    if (kMovieFixedSize + static_cast<std::uint64_t>(r.videoSize) + r.audioSize != bytes.size())
        check.Fault("the sound section size " + std::to_string(r.audioSize) +
                    " does not reach the end of the file (" +
                    std::to_string(bytes.size() - audioHeader - kMovieDataChunkHeaderSize) +
                    " bytes)");
    CheckFrames(bytes, check, r, static_cast<std::size_t>(audioHeader));

    const auto a = static_cast<std::size_t>(audioHeader);
    check.ExpectTag(a, "DATA");
    check.Expect32(a + 4, 0, "audio DATA first field");
    check.Expect32(a + 8, 0, "audio DATA second field");
    CheckSound(bytes, check, r, a + kMovieDataChunkHeaderSize);
    return r;
}

bool ReadJpegSize(std::span<const std::uint8_t> image, int& width, int& height) {
    if (image.size() < 4 || image[0] != 0xFF || image[1] != 0xD8)
        return false;
    std::size_t at = 2;
    while (at + 4 <= image.size()) {
        if (image[at] != 0xFF)
            return false;
        const std::uint8_t marker = image[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return false; // no frame header before the scan
        const std::size_t length = static_cast<std::size_t>(image[at + 2]) << 8 | image[at + 3];
        if (length < 2 || length > image.size() - at - 2)
            return false;
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            if (length < 7)
                return false;
            height = image[at + 5] << 8 | image[at + 6];
            width = image[at + 7] << 8 | image[at + 8];
            return true;
        }
        at += 2 + length;
    }
    return false;
}

std::vector<std::int16_t> DecodeMovieSound(std::span<const std::uint8_t> blocks,
                                           std::uint32_t frames) {
    std::vector<std::int16_t> out;
    out.reserve(std::min<std::size_t>(frames, blocks.size() * 2 + 1));
    std::size_t at = 0;
    while (out.size() < frames && blocks.size() - at >= kAdpcmBlockHeaderBytes) {
        const std::size_t blockBytes = std::min<std::size_t>(kAdpcmBlockBytes, blocks.size() - at);
        AdpcmState state;
        state.predictor = static_cast<std::int16_t>(ReadLe16(blocks.data() + at));
        state.index = static_cast<std::int8_t>(std::min<int>(blocks[at + 2], 88));
        out.push_back(state.predictor);
        const std::size_t codes = std::min<std::size_t>(
            {(blockBytes - kAdpcmBlockHeaderBytes) * 2,
             static_cast<std::size_t>(kAdpcmSamplesPerBlock - 1), frames - out.size()});
        const std::size_t first = out.size();
        out.resize(first + codes);
        AdpcmDecode(blocks.data() + at + kAdpcmBlockHeaderBytes, out.data() + first,
                    static_cast<int>(codes), &state);
        at += blockBytes;
    }
    return out;
}

} // namespace fz
