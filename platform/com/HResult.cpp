#include "platform/com/HResult.h"

#include <cstdio>

namespace fz::com {

std::string_view ResultName(HRESULT result) {
    struct Named {
        HRESULT code;
        std::string_view name;
    };
    static constexpr Named kNames[] = {
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_POINTER, "E_POINTER"},
        {E_ABORT, "E_ABORT"},
        {E_FAIL, "E_FAIL"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {E_ACCESSDENIED, "E_ACCESSDENIED"},
        {E_HANDLE, "E_HANDLE"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
        {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
        {REGDB_E_READREGDB, "REGDB_E_READREGDB"},
        {REGDB_E_WRITEREGDB, "REGDB_E_WRITEREGDB"},
        {REGDB_E_KEYMISSING, "REGDB_E_KEYMISSING"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {REGDB_E_IIDNOTREG, "REGDB_E_IIDNOTREG"},
        {SELFREG_E_TYPELIB, "SELFREG_E_TYPELIB"},
        {SELFREG_E_CLASS, "SELFREG_E_CLASS"},
        {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED"},
        {CO_E_CLASSSTRING, "CO_E_CLASSSTRING"},
        {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND"},
        {CO_E_ERRORINDLL, "CO_E_ERRORINDLL"},
    };
    for (const Named& named : kNames)
        if (named.code == result)
            return named.name;
    return {};
}

std::string FormatResult(HRESULT result) {
    char number[16];
    std::snprintf(number, sizeof number, "0x%08X", static_cast<std::uint32_t>(result));
    const std::string_view name = ResultName(result);
    if (name.empty())
        return number;
    return std::string(number) + " (" + std::string(name) + ")";
}

} // namespace fz::com
