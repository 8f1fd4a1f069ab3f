// libfzdsp: the in-process server of the two filters. Its entry points serve the factory
// templates of FilterRegistration.h: DllGetClassObject and DllCanUnloadNow over the platform's
// class factory, DllRegisterServer and DllUnregisterServer writing and removing the COM server
// entries together with the filters' registration records.

#include "fzdsp/filters/CMovieAudioDsp.h"
#include "fzdsp/filters/CMovieVideoDsp.h"
#include "fzdsp/filters/FilterRegistration.h"
#include "fzdsp/filters/MovieDspIdentifiers.h"
#include "platform/com/AggregatableObject.h"
#include "platform/com/ServerModule.h"

#include <array>

namespace {

using namespace fz;

// The class table that DllGetClassObject serves, in the templates' order.
constexpr std::array kFilterClasses = {
    com::ServerClassWith<&com::CreateAggregatableInstanceOf<dsp::CMovieVideoDsp>>(
        dsp::CLSID_MovieVideoDsp, dsp::kMovieVideoDspName),
    com::ServerClassWith<&com::CreateAggregatableInstanceOf<dsp::CMovieAudioDsp>>(
        dsp::CLSID_MovieAudioDsp, dsp::kMovieAudioDspName),
};

} // namespace

FZ_COM_SERVER_CLASS_EXPORTS(kFilterClasses)

extern "C" FZ_COM_EXPORT fz::com::HRESULT DllRegisterServer() {
    return fz::dsp::RegisterFilters(
        fz::dsp::FactoryTemplates(),
        fz::com::ServerPathForRegistration(reinterpret_cast<const void*>(&fz::com::ThisModule)),
        true);
}

extern "C" FZ_COM_EXPORT fz::com::HRESULT DllUnregisterServer() {
    return fz::dsp::RegisterFilters(fz::dsp::FactoryTemplates(), {}, false);
}
