#include "fzdsp/filters/FilterRegistration.h"

#include "fzdsp/filters/CMovieAudioDsp.h"
#include "fzdsp/filters/CMovieVideoDsp.h"
#include "fzdsp/filters/MovieDspIdentifiers.h"
#include "platform/com/AggregatableObject.h"
#include "platform/com/ServerRegistration.h"
#include "platform/media/base/MediaTypes.h"
#include "platform/registry/Registry.h"

namespace fz::dsp {
namespace {

constexpr FilterSetup SetupOf(const com::CLSID& clsid, const char* name,
                              const com::GUID& majorType) {
    return {clsid,
            name,
            MERIT_UNLIKELY,
            {{{"Input", false, false, false, false, com::GUID_NULL, "Output", majorType,
               media::MEDIASUBTYPE_NULL},
              {"Output", false, true, false, false, com::GUID_NULL, "Input", majorType,
               media::MEDIASUBTYPE_NULL}}}};
}

constexpr FilterSetup kVideoSetup =
    SetupOf(CLSID_MovieVideoDsp, kMovieVideoDspName, media::MEDIATYPE_Video);
constexpr FilterSetup kAudioSetup =
    SetupOf(CLSID_MovieAudioDsp, kMovieAudioDspName, media::MEDIATYPE_Audio);

const FactoryTemplate kTemplates[] = {
    {kMovieVideoDspName, CLSID_MovieVideoDsp, &com::CreateAggregatableInstanceOf<CMovieVideoDsp>,
     nullptr, &kVideoSetup},
    {kMovieAudioDspName, CLSID_MovieAudioDsp, &com::CreateAggregatableInstanceOf<CMovieAudioDsp>,
     nullptr, &kAudioSetup},
};

void AddFilterEntries(registry::Transaction& change, const FilterSetup& setup) {
    const std::string classPath = com::ClassKeyPath(setup.clsid);
    change.SetDword(classPath, "Merit", setup.merit);
    for (const PinSetup& pin : setup.pins) {
        const std::string pinPath = classPath + "\\Pins\\" + pin.name;
        change.SetDword(pinPath, "Direction", pin.output ? 1 : 0);
        change.SetDword(pinPath, "IsRendered", pin.rendered ? 1 : 0);
        change.SetDword(pinPath, "AllowedZero", pin.zero ? 1 : 0);
        change.SetDword(pinPath, "AllowedMany", pin.many ? 1 : 0);
        change.SetString(pinPath, "ConnectsToFilter", com::FormatGuid(pin.connectsToFilter));
        change.SetString(pinPath, "ConnectsToPin", pin.connectsToPin);
        change.CreateKey(pinPath + "\\Types\\" + com::FormatGuid(pin.majorType) + "\\" +
                         com::FormatGuid(pin.subtype));
    }
    change.SetString(FilterKeyPath(setup.clsid), "", setup.name);
}

} // namespace

std::span<const FactoryTemplate> FactoryTemplates() {
    return kTemplates;
}

std::string FilterKeyPath(const com::CLSID& clsid) {
    return "Filter\\" + com::FormatGuid(clsid);
}

com::HRESULT RegisterFilters(std::span<const FactoryTemplate> templates,
                             const std::string& libraryPath, bool registering) {
    registry::Transaction change(registry::Hive::ClassesRoot);
    for (const FactoryTemplate& entry : templates) {
        if (registering) {
            com::AddInprocServerRegistration(change, entry.clsid, entry.name, libraryPath,
                                             com::ThreadingModel::Both);
            if (entry.setup != nullptr)
                AddFilterEntries(change, *entry.setup);
        } else {
            com::AddInprocServerRemoval(change, entry.clsid);
            change.DeleteKeyTree(FilterKeyPath(entry.clsid));
        }
    }
    return change.Commit() == registry::kSuccess ? com::S_OK : com::SELFREG_E_CLASS;
}

} // namespace fz::dsp
