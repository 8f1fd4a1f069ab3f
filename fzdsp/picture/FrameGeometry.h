#pragma once

#include "fzdsp/picture/GeometryCanvas.h"
#include "fzdsp/picture/PictureFormat.h"

#include <cstdint>
#include <optional>

namespace fz {

// A packed 24-bit picture, rows bottom-up, that someone else owns.
struct PictureView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

enum class VerticalCut { kOff, kOn };
enum class WidescreenCutoff { kOff, kOn };
enum class FixedImageScale { kOff, kOn };

// The video filter's geometry settings for one frame.
struct FrameGeometrySettings {
    int scaleWidth = 160; // the scale target: the target size before rotation
    int scaleHeight = 128;
    VerticalCut verticalCut = VerticalCut::kOff;
    WidescreenCutoff widescreenCutoff = WidescreenCutoff::kOff; // only with the vertical cut
    double topFraction = 0.0;    // of the source height, cut off at the top
    double bottomFraction = 0.0; // of the source height, cut off at the bottom
    FixedImageScale fixedImageScale = FixedImageScale::kOff;
};

// Rounds a target width or height up to the multiple the encoder needs: 4 for the library
// path, 16 for the YUV422 encoder (its MCUs are 16 x 8). Applied once per filter instance.
// A value so large that rounding up would pass INT_MAX is rounded down to the multiple below it
// instead; values below 1 round towards 0.
int RoundTargetDimension(int value, PictureFormat format);

// The geometry step before scaling: the vertical cut keeps the columns (and, with the widescreen
// cut-off, the rows) that give the scale target's aspect ratio; the fixed image scale keeps the
// source's aspect ratio by letterboxing onto the canvas or keeping the middle rows. Every
// "a / b x c" is evaluated in double, left to right, and truncated; a cut size is made even
// before it is used.
//
// The result is the source itself or a picture in the canvas (valid until the canvas is
// prepared again). Nothing for an empty source, a scale target below 1, cut-off fractions that
// leave no rows, sizes that do not fit an int, or a canvas that cannot be allocated.
std::optional<PictureView> ApplyFrameGeometry(const FrameGeometrySettings& settings,
                                              PictureView source, GeometryCanvas& canvas);

// True when ApplyFrameGeometry would give a source of this size back as it is (no cut, no
// letterbox), so that a caller may skip preparing the source in the packed form.
bool GeometryKeepsPicture(const FrameGeometrySettings& settings, int width, int height);

} // namespace fz
