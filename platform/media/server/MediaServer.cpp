// libfzmedia: the platform's media server. Its classes: the filter graph, the video and sound
// renderers, the null renderer of fast conversions and the system clock. Registering it also
// writes the platform version keys (VersionKeys.h).

#include "platform/com/AggregatableObject.h"
#include "platform/com/ServerModule.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/base/ReferenceClock.h"
#include "platform/media/graph/FilterGraph.h"
#include "platform/media/graph/RendererClasses.h"
#include "platform/media/server/VersionKeys.h"

#include <array>

namespace {

using namespace fz;

constexpr std::array kMediaClasses = {
    com::ServerClassWith<&media::CreateFilterGraph>(media::CLSID_FilterGraph, "Filter Graph"),
    com::ServerClassWith<&media::CreateVideoRenderer>(media::CLSID_VideoRenderer, "Video Renderer"),
    com::ServerClassWith<&media::CreateSoundRenderer>(media::CLSID_DSoundRender,
                                                      "Default DirectSound Device"),
    com::ServerClassWith<&media::CreateNullRenderer>(media::CLSID_NullRenderer, "Null Renderer"),
    com::ServerClassWith<&com::CreateAggregatableInstanceOf<media::CSystemClock>>(
        media::CLSID_SystemClock, "System Clock"),
};

} // namespace

FZ_COM_SERVER_CLASS_EXPORTS(kMediaClasses)

extern "C" FZ_COM_EXPORT fz::com::HRESULT DllRegisterServer() {
    const fz::com::HRESULT classes = fz::com::RegisterServerClasses(
        kMediaClasses, reinterpret_cast<const void*>(&fz::com::ThisModule));
    if (fz::com::Failed(classes))
        return classes;
    return fz::media::WriteVersionKeys(fz::media::ProbeMediaDecoders());
}

extern "C" FZ_COM_EXPORT fz::com::HRESULT DllUnregisterServer() {
    const fz::com::HRESULT classes = fz::com::UnregisterServerClasses(kMediaClasses);
    const fz::com::HRESULT keys = fz::media::RemoveVersionKeys();
    return fz::com::Failed(classes) ? classes : keys;
}
