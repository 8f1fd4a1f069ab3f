#include "fzdsp/picture/FrameGeometry.h"

#include "fzdsp/picture/PictureCopy.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace fz {
namespace {

std::optional<int> Truncate(double value) {
    if (!std::isfinite(value) || value >= static_cast<double>(std::numeric_limits<int>::max()) ||
        value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::nullopt;
    return static_cast<int>(value);
}

int MakeEven(int value) {
    return (value / 2) * 2;
}

std::optional<PictureView> Crop(PictureView source, int x, int y, int width, int height,
                                GeometryCanvas& canvas) {
    if (width < 1 || height < 1 || x < 0 || y < 0 || x + width > source.width ||
        y + height > source.height)
        return std::nullopt;
    std::uint8_t* out = canvas.Prepare(width, height, GeometryCanvas::Use::kCut);
    if (out == nullptr)
        return std::nullopt;
    CropPicture(out, width, height, source.pixels, source.width, x, y);
    return PictureView{out, width, height};
}

// Vertical cut with the widescreen cut-off: the cut-off rows go first, then the columns that
// give the kept rows the target's aspect ratio.
std::optional<PictureView> CutWidescreen(const FrameGeometrySettings& settings, PictureView source,
                                         GeometryCanvas& canvas) {
    const std::optional<int> top = Truncate(source.height * settings.topFraction);
    const std::optional<int> bottom = Truncate(source.height * settings.bottomFraction);
    if (!top || !bottom || *top < 0 || *bottom < 0 || *top + *bottom >= source.height)
        return std::nullopt;
    int height = source.height - *top - *bottom;
    const std::optional<int> width =
        Truncate(static_cast<double>(settings.scaleWidth) / settings.scaleHeight * height);
    if (!width)
        return std::nullopt;
    height = MakeEven(height);
    const int keptWidth = std::min(MakeEven(*width), source.width);
    return Crop(source, (source.width - keptWidth) / 2, *bottom, keptWidth, height, canvas);
}

std::optional<PictureView> CutColumns(const FrameGeometrySettings& settings, PictureView source,
                                      GeometryCanvas& canvas) {
    const std::optional<int> width =
        Truncate(static_cast<double>(source.height) / settings.scaleHeight * settings.scaleWidth);
    if (!width)
        return std::nullopt;
    const int keptWidth = std::min(MakeEven(*width), source.width);
    return Crop(source, (source.width - keptWidth) / 2, 0, keptWidth, source.height, canvas);
}

// Fixed image scale: the rows that keep the source's aspect ratio at the target width (even),
// nothing when they do not fit an int.
std::optional<int> AspectRows(const FrameGeometrySettings& settings, int width) {
    const std::optional<int> rows =
        Truncate(static_cast<double>(width) / settings.scaleWidth * settings.scaleHeight);
    if (!rows)
        return std::nullopt;
    return MakeEven(*rows);
}

std::optional<PictureView> KeepAspect(const FrameGeometrySettings& settings, PictureView source,
                                      GeometryCanvas& canvas) {
    const std::optional<int> rows = AspectRows(settings, source.width);
    if (!rows || *rows < 1)
        return std::nullopt;
    const int height = *rows;
    if (height == source.height)
        return source;
    if (height < source.height)
        return Crop(source, 0, (source.height - height) / 2, source.width, height, canvas);
    std::uint8_t* out = canvas.Prepare(source.width, height, GeometryCanvas::Use::kLetterbox);
    if (out == nullptr)
        return std::nullopt;
    CenterPicture(out, source.width, height, source.pixels, source.width, source.height);
    return PictureView{out, source.width, height};
}

} // namespace

int RoundTargetDimension(int value, PictureFormat format) {
    const std::int64_t multiple = format == PictureFormat::kLibraryJpeg ? 4 : 16;
    const std::int64_t rounded = (value + multiple - 1) / multiple * multiple;
    if (rounded > std::numeric_limits<int>::max())
        return static_cast<int>(std::numeric_limits<int>::max() / multiple * multiple);
    return static_cast<int>(rounded);
}

bool GeometryKeepsPicture(const FrameGeometrySettings& settings, int width, int height) {
    if (width < 1 || height < 1 || settings.scaleWidth < 1 || settings.scaleHeight < 1 ||
        settings.verticalCut == VerticalCut::kOn)
        return false;
    if (settings.fixedImageScale == FixedImageScale::kOff)
        return true;
    const std::optional<int> rows = AspectRows(settings, width);
    return rows && *rows == height;
}

std::optional<PictureView> ApplyFrameGeometry(const FrameGeometrySettings& settings,
                                              PictureView source, GeometryCanvas& canvas) {
    if (source.pixels == nullptr || source.width < 1 || source.height < 1 ||
        settings.scaleWidth < 1 || settings.scaleHeight < 1)
        return std::nullopt;
    if (settings.verticalCut == VerticalCut::kOn) {
        if (settings.widescreenCutoff == WidescreenCutoff::kOn)
            return CutWidescreen(settings, source, canvas);
        return CutColumns(settings, source, canvas);
    }
    if (settings.fixedImageScale == FixedImageScale::kOn)
        return KeepAspect(settings, source, canvas);
    return source;
}

} // namespace fz
