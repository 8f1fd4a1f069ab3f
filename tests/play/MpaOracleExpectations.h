#pragma once

// The verdict of every oracle test: our decoder within the tolerance of libmpg123 after the
// first frame. FFmpeg's figures are printed beside it; where the two references agree with each
// other, ours must also be within the tolerance of FFmpeg, and where they do not, the printed
// line says so instead of the test failing on FFmpeg's reading. A case may name FFmpeg as its
// reference instead, where libmpg123 is known to read the stream otherwise; it then also
// expects the two references to disagree, so that the exception ends when libmpg123 changes.

#include "tests/play/support/MpaOracle.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace fz::test::mpa {

enum class Reference { Mpg123, Ffmpeg };

inline OracleComparison ExpectMatchesOracles(const Stream& stream, const std::string& label,
                                             std::size_t minFramesCompared,
                                             Reference reference = Reference::Mpg123) {
    const OracleComparison c = CompareWithOracles(stream, label);
    if (reference == Reference::Ffmpeg) {
        EXPECT_TRUE(c.oraclesDisagree) << label << ": libmpg123 now agrees with FFmpeg";
        EXPECT_EQ(c.ffmpeg.framesMismatched, 0u) << label;
        EXPECT_GE(c.ffmpeg.framesCompared, minFramesCompared) << label;
        EXPECT_TRUE(WithinTolerance(c.ffmpeg))
            << label << ": RMS " << c.ffmpeg.rmsLsb << ", max " << c.ffmpeg.maxLsb;
        return c;
    }
    EXPECT_EQ(c.mpg123.framesMismatched, 0u) << label;
    EXPECT_GE(c.mpg123.framesCompared, minFramesCompared) << label;
    EXPECT_LE(c.mpg123.rmsLsb, kToleranceRmsLsb) << label;
    EXPECT_LE(c.mpg123.maxLsb, kToleranceMaxLsb) << label;
    if (!c.oraclesDisagree) {
        EXPECT_TRUE(WithinTolerance(c.ffmpeg))
            << label << ": FFmpeg agrees with libmpg123 but not with us (RMS " << c.ffmpeg.rmsLsb
            << ", max " << c.ffmpeg.maxLsb << ")";
    }
    return c;
}

} // namespace fz::test::mpa
