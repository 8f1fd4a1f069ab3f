#pragma once

namespace fz {

// The video filter's picture-format selector: which encoder compresses its frames. The numbers
// are those of the conversion settings ("jpegformat").
enum class PictureFormat : int {
    kLibraryJpeg = 0, // libjpeg with its defaults: JFIF, 4:2:0
    kYuv422Jpeg = 1,  // the fixed-layout 4:2:2 encoder: sizes in multiples of 16 x 8
};

} // namespace fz
