#pragma once

// Oracle support for the MPEG audio decoder tests: test sound, streams made with libavcodec's
// encoders (mp2 for Layer II, libmp3lame for Layer III), two independent references — libmpg123
// and libavcodec's float decoders (mp1float, mp2float, mp3float) — and the comparison of our
// decoder with both. FFmpeg and libmpg123 are used here and in the bench only, never by the
// product.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fz::test::mpa {

// Interleaved 16-bit test sound.
struct Pcm {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
};

enum class Signal {
    Tones,  // a few steady sines per channel
    Noise,  // low-passed white noise
    Clicks, // silence broken by clicks and short noise bursts (forces Layer III short blocks)
    Sweep   // a sine gliding from 100 Hz to the cutoff and back, once a second
};

// Test sound low-passed below min(18 kHz, 0.42 × rate), since the decoder leaves out the highest
// subband; peaks stay below half of full scale.
Pcm MakeSignal(Signal signal, int sampleRate, int channels, double seconds, std::uint32_t seed = 1);

enum class Encoder { Mp2, Mp3 };

struct EncodeSettings {
    Encoder encoder = Encoder::Mp2;
    int bitRateKbps = 128;   // constant bit rate
    int vbrQuality = -1;     // libmp3lame only: 0 (best) .. 9 for VBR instead of a constant rate
    bool jointStereo = true; // libmp3lame only
    bool xingHeader = false; // write through the mp3 muxer, which puts a "Xing" frame first
};

// A byte stream of MPEG audio frames.
struct FrameSpan {
    std::size_t offset = 0;
    std::size_t size = 0;
};
struct Stream {
    std::vector<std::uint8_t> bytes;
    std::vector<FrameSpan> frames;
};

// Encodes with libavcodec; an empty stream when the encoder refuses the settings.
Stream Encode(const Pcm& pcm, const EncodeSettings& settings);

// Splits bytes into frames by the header rules of ISO/IEC 11172-3 2.4.3.1 (an implementation of
// its own, independent of the decoder's); bytes without a sync are skipped.
std::vector<FrameSpan> SplitFrames(const std::vector<std::uint8_t>& bytes);
Stream MakeStream(std::vector<std::uint8_t> bytes);

// Decoded sound in LSB (1.0 = one step of 16-bit PCM), interleaved, with the samples per channel
// that each frame gave (0 when the decoder gave nothing for it).
struct Decoded {
    int channels = 0;
    std::vector<float> samples;
    std::vector<std::size_t> frameSamples;
    int failedFrames = 0; // frames the decoder refused
    std::string error;    // why decoding could not start, if it could not
};

// Decodes each frame as one packet with mp1float, mp2float or mp3float (by the first frame's
// layer). Output is limited to the 16-bit range, as ours is.
Decoded DecodeWithFfmpeg(const Stream& stream);

// Decodes with libmpg123 (float output, fed frame by frame, a "Xing" frame decoded as the
// ordinary frame it is, no gapless trimming), each frame's output placed by its frame number.
// Output is limited to the 16-bit range, as ours is.
Decoded DecodeWithMpg123(const Stream& stream);

// Decodes with MpaInit, MpaDecodeInit and MpaDecodeFrame, giving each frame the rest of the
// stream as available bytes; a frame's output area starts zeroed. Also counts frames whose
// decoded size disagrees with the split.
Decoded DecodeWithFramzel(const Stream& stream, int* sizeMismatches = nullptr);

struct Difference {
    double rmsLsb = 0.0;
    double maxLsb = 0.0;
    std::size_t samplesCompared = 0;
    std::size_t framesCompared = 0;
    std::size_t framesMismatched = 0; // frames where the two decoders gave different counts
};

// Compares frame by frame, leaving out the first `skipFrames` frames and any frame for which
// either side gave nothing.
Difference Compare(const Decoded& ours, const Decoded& oracle, int skipFrames = 1);

// The tolerance of every oracle test, after the first frame: RMS difference at most 1 LSB and
// largest absolute difference at most 4 LSB of 16-bit PCM.
inline constexpr double kToleranceRmsLsb = 1.0;
inline constexpr double kToleranceMaxLsb = 4.0;
bool WithinTolerance(const Difference& d);

struct OracleComparison {
    Difference mpg123;    // ours against libmpg123: the verdict
    Difference ffmpeg;    // ours against FFmpeg
    Difference oracles;   // FFmpeg against libmpg123
    bool oraclesDisagree; // the two references differ by more than the tolerance
    int oursFailed = 0;   // frames our decoder refused
};

// Decodes with ours and both references, compares after the first frame and prints one line
// "label: ... mpg123 RMS ... max ... | FFmpeg RMS ... max ... | FFmpeg vs mpg123 ..." to
// standard output, ending in "ORACLES DISAGREE" when the two references are not within the
// tolerance of each other.
OracleComparison CompareWithOracles(const Stream& stream, const std::string& label);

// MSB-first bit writer for frames built by hand.
class BitWriter {
public:
    void Put(std::uint32_t value, int bits);
    std::size_t BitCount() const { return m_bitCount; }
    // The bytes written, zero-padded to `size` bytes (at least the bytes written).
    std::vector<std::uint8_t> Bytes(std::size_t size = 0) const;

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_bitCount = 0;
};

} // namespace fz::test::mpa
