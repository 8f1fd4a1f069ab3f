#pragma once

#include "platform/com/ClassFactory.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace fz::dsp {

// What the filter library registers about each filter, so that a graph builder can find it:
// the platform's filter setup records and factory templates.

// One pin of a filter's setup record with its one media type.
struct PinSetup {
    const char* name;
    bool rendered;
    bool output;
    bool zero; // the filter may have none of this pin
    bool many; // the filter may have several
    com::CLSID connectsToFilter;
    const char* connectsToPin;
    com::GUID majorType;
    com::GUID subtype;
};

struct FilterSetup {
    com::CLSID clsid;
    const char* name;
    std::uint32_t merit;
    std::array<PinSetup, 2> pins;
};

// A factory template: name, class identifier, creation function (outer unknown, result code),
// no initialisation function, the setup record.
struct FactoryTemplate {
    const char* name;
    com::CLSID clsid;
    com::CreatorFunction create;
    void (*initialise)(bool loading);
    const FilterSetup* setup;
};

// The library's two templates, video filter first.
std::span<const FactoryTemplate> FactoryTemplates();

// Registry layout of a filter below HKEY_CLASSES_ROOT, beside the COM server entries of its
// class (platform/com/ServerRegistration.h):
//
//   CLSID\{clsid}                     "Merit" (DWORD)
//   CLSID\{clsid}\Pins\<pin>          "Direction" (DWORD: 0 input, 1 output), "IsRendered",
//                                     "AllowedZero", "AllowedMany" (DWORD 0 or 1),
//                                     "ConnectsToFilter" (a class identifier as text),
//                                     "ConnectsToPin" (text)
//   CLSID\{clsid}\Pins\<pin>\Types\{major}\{subtype}   one key per media type
//   Filter\{clsid}                    default value: the filter's name
//
// Registers (or, with `registering` false, removes) the COM server entries and the filter
// entries of every template as one change of the registry: `libraryPath` is the server's path.
// SELFREG_E_CLASS, with nothing changed, when the registry cannot be written. The work of
// DllRegisterServer and DllUnregisterServer.
com::HRESULT RegisterFilters(std::span<const FactoryTemplate> templates,
                             const std::string& libraryPath, bool registering);

std::string FilterKeyPath(const com::CLSID& clsid);

} // namespace fz::dsp
