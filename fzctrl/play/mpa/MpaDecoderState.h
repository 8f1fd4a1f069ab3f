#pragma once

#include "fzctrl/play/mpa/MpaFrameHeader.h"
#include "fzctrl/play/mpa/MpaLayer3.h"
#include "fzctrl/play/mpa/MpaLayer3State.h"
#include "fzctrl/play/mpa/MpaSynthesis.h"

#include <array>
#include <cstdint>

namespace fz::mpa {

// Tables built by MpaInit from the standards' definitions.
struct MpaDecoderTables {
    // Layers I and II scale factors, ISO/IEC 11172-3 Table B.1; entry 63 (not a scale factor) 0.
    std::array<float, 64> scaleFactors;
    // Requantisation of a level v as v * scale + offset, that is (2v + 1 - n) / n for n levels
    // (ISO/IEC 11172-3 2.4.3.2.2 for Layer I by allocation, Table B.4 for Layer II by class).
    std::array<float, 16> layer1Scale, layer1Offset;
    std::array<float, 17> layer2Scale, layer2Offset;
    SynthesisTables synthesis;
};

// The decoder's whole process-wide state: settings, the remembered stream parameters, the
// prepared layer decoder, the tables and every buffer. Owned by the MpaDecoder functions; one
// thread at a time.
struct MpaDecoderState {
    // Settings of MpaInit.
    int frequencyLimitHz = 24000;
    int rateReduction = 0;    // 0: full sample rate (the only setting the decoder offers)
    int outputConversion = 0; // 0: 16-bit samples, channels as in the stream

    int lastError = 0;

    // Remembered by MpaGetInfo with MpaRemember::Yes.
    int streamSampleRate = 0; // Hz
    int pcmBytesPerFrame = 0;

    int frameSize = 0; // bytes of the frame being decoded

    // Chosen by MpaDecodeInit: the layer (0 = no stream prepared) and the subbands decoded.
    int layer = 0;
    int subbandLimit = 0;

    bool tablesBuilt = false;
    MpaDecoderTables tables;

    SynthesisState synthesis;
    // Layers I and II: the requantised subband samples of one frame, [channel][slot][subband].
    alignas(16) float subbandSamples[2][36][32];
    Layer3State layer3;
    alignas(16) Layer3Output layer3Output;
};

// The one decoder state of the process.
MpaDecoderState& DecoderState();

} // namespace fz::mpa
