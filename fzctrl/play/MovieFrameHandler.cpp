#include "fzctrl/play/MovieFrameHandler.h"

#include "fzctrl/play/CFrameImage.h"
#include "fzctrl/play/CPreviewDrawer.h"
#include "fzctrl/play/PlayTempFile.h"

#include <optional>

namespace fz {

void HandleMovieFrame(const std::uint8_t* jpeg, std::uint32_t size, CPreviewDrawer& drawer) {
    if (size == 0)
        return;
    CFrameImage image;
    {
        const std::optional<PlayTempFile> file = PlayTempFile::Create("fztmp.jpg", jpeg, size);
        if (!file)
            return;
        image.LoadJpeg(file->Path());
    }
    if (image.Pixels() != nullptr)
        drawer.Draw(image);
}

} // namespace fz
