#include "framzel/cli/ContactSheet.h"

#include "framzel/cli/DigitFont.h"

#include <algorithm>
#include <cstdio>

namespace fz::cli {
namespace {

constexpr int kMargin = 6;
constexpr int kLabelScale = 2;
constexpr int kLabelHeight = kGlyphHeight * kLabelScale + 6;
constexpr std::uint8_t kBackground = 24;
constexpr std::uint8_t kMissing = 96;

void Fill(RgbPicture& picture, int x0, int y0, int w, int h, std::uint8_t value) {
    for (int y = std::max(y0, 0); y < std::min(y0 + h, picture.height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x0 + w, picture.width); ++x)
            for (int c = 0; c < 3; ++c)
                picture.rgb[(static_cast<std::size_t>(y) * picture.width + x) * 3 + c] = value;
}

// Nearest-neighbour copy of `source` into the box at (x0, y0) of w x h.
void Blit(RgbPicture& sheet, const RgbPicture& source, int x0, int y0, int w, int h) {
    for (int y = 0; y < h; ++y) {
        const int sy = static_cast<int>(static_cast<long>(y) * source.height / h);
        for (int x = 0; x < w; ++x) {
            const int sx = static_cast<int>(static_cast<long>(x) * source.width / w);
            const std::size_t from = (static_cast<std::size_t>(sy) * source.width + sx) * 3;
            const std::size_t to = (static_cast<std::size_t>(y0 + y) * sheet.width + (x0 + x)) * 3;
            for (int c = 0; c < 3; ++c)
                sheet.rgb[to + c] = source.rgb[from + c];
        }
    }
}

} // namespace

std::string SheetTimeLabel(std::uint64_t timeMs) {
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02llu.%llu",
                  static_cast<unsigned long long>(timeMs / 60000),
                  static_cast<unsigned long long>(timeMs / 1000 % 60),
                  static_cast<unsigned long long>(timeMs / 100 % 10));
    return text;
}

void DrawLabel(RgbPicture& picture, int x, int y, const std::string& text, int scale) {
    for (char c : text) {
        const Glyph& glyph = GlyphFor(c);
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int column = 0; column < kGlyphWidth; ++column)
                if (glyph[static_cast<std::size_t>(row)] & (0x10 >> column))
                    Fill(picture, x + column * scale, y + row * scale, scale, scale, 255);
        x += (kGlyphWidth + 1) * scale;
    }
}

RgbPicture MakeContactSheet(const std::vector<SheetFrame>& frames, int columns, int thumbnailWidth,
                            int maxThumbnails) {
    RgbPicture sheet;
    if (frames.empty() || columns < 1 || thumbnailWidth < 8 || maxThumbnails < 1)
        return sheet;
    const std::size_t shown = std::min<std::size_t>(frames.size(), maxThumbnails);
    std::vector<std::size_t> chosen;
    for (std::size_t k = 0; k < shown; ++k)
        chosen.push_back(shown == 1 ? 0 : k * (frames.size() - 1) / (shown - 1));

    // The thumbnails keep the first decodable frame's proportions.
    std::vector<std::optional<RgbPicture>> pictures;
    int thumbnailHeight = 0;
    for (std::size_t index : chosen) {
        pictures.push_back(DecodeJpeg(frames[index].jpeg, thumbnailWidth));
        if (thumbnailHeight == 0 && pictures.back() && pictures.back()->width > 0)
            thumbnailHeight =
                std::max(1, static_cast<int>(static_cast<long>(thumbnailWidth) *
                                             pictures.back()->height / pictures.back()->width));
    }
    if (thumbnailHeight == 0)
        thumbnailHeight = thumbnailWidth * 3 / 4;
    thumbnailHeight = std::min(thumbnailHeight, thumbnailWidth * 4);

    const int gridColumns = std::min<int>(columns, static_cast<int>(shown));
    const int rows = static_cast<int>((shown + gridColumns - 1) / gridColumns);
    const int cellWidth = thumbnailWidth + kMargin;
    const int cellHeight = thumbnailHeight + kLabelHeight + kMargin;
    sheet.width = gridColumns * cellWidth + kMargin;
    sheet.height = rows * cellHeight + kMargin;
    sheet.rgb.assign(static_cast<std::size_t>(sheet.width) * sheet.height * 3, kBackground);
    for (std::size_t k = 0; k < shown; ++k) {
        const int x = kMargin + static_cast<int>(k % gridColumns) * cellWidth;
        const int y = kMargin + static_cast<int>(k / gridColumns) * cellHeight;
        if (pictures[k] && pictures[k]->width > 0 && pictures[k]->height > 0)
            Blit(sheet, *pictures[k], x, y, thumbnailWidth, thumbnailHeight);
        else
            Fill(sheet, x, y, thumbnailWidth, thumbnailHeight, kMissing);
        DrawLabel(sheet, x + 2, y + thumbnailHeight + 3, SheetTimeLabel(frames[chosen[k]].timeMs),
                  kLabelScale);
    }
    return sheet;
}

} // namespace fz::cli
