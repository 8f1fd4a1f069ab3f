#include "fzdsp/filters/FilterRegistration.h"
#include "fzdsp/filters/MovieDspIdentifiers.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ServerModule.h"
#include "platform/media/base/MediaInterfaces.h"
#include "platform/media/base/MediaTypes.h"
#include "platform/registry/Registry.h"
#include "tests/fzdsp/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>

#include <string>

namespace fz::dsp {
namespace {

using registry::Hive;

std::optional<std::uint32_t> Dword(const std::string& path, const char* name) {
    registry::Key key;
    if (registry::OpenKey(Hive::ClassesRoot, path, registry::Access::Read, &key) !=
        registry::kSuccess)
        return std::nullopt;
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    if (key.QueryValue(name, &value, &size) != registry::kSuccess)
        return std::nullopt;
    return value;
}

std::optional<std::string> Text(const std::string& path, const char* name) {
    registry::Key key;
    if (registry::OpenKey(Hive::ClassesRoot, path, registry::Access::Read, &key) !=
        registry::kSuccess)
        return std::nullopt;
    char text[512] = {};
    std::uint32_t size = sizeof text;
    if (key.QueryValue(name, text, &size) != registry::kSuccess)
        return std::nullopt;
    return std::string(text);
}

bool KeyExists(const std::string& path) {
    registry::Key key;
    return registry::OpenKey(Hive::ClassesRoot, path, registry::Access::Read, &key) ==
           registry::kSuccess;
}

// Each control interface belongs to its own filter: asking either filter for the other's
// fails, and both lead back to the filter's identity.
TEST(FilterServerTest, ControlInterfacesAreAnsweredOnlyByTheirFilter) {
    test::VideoFilter video;
    test::AudioFilter audio;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(video->QueryInterface(IMovieAudioDsp::kIid, &object), com::E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(audio->QueryInterface(IMovieVideoDsp::kIid, &object), com::E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    com::ComPtr<media::IBaseFilter> filter;
    ASSERT_EQ(video->QueryInterface(media::IBaseFilter::kIid, filter.PutVoid()), com::S_OK);
    com::ComPtr<IMovieVideoDsp> back;
    ASSERT_EQ(filter->QueryInterface(IMovieVideoDsp::kIid, back.PutVoid()), com::S_OK);
    EXPECT_EQ(back.Get(), video.Get());
    com::CLSID clsid{};
    filter->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_MovieVideoDsp);

    // The status record handed out is the filter's own, for as long as it lives.
    StreamSyncRecord* first = nullptr;
    StreamSyncRecord* second = nullptr;
    video->GetStatusRecord(&first);
    video->GetStatusRecord(&second);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
}

// The registration records: the COM server entries, the merit and both pins with their one
// media type, and the filter key; unregistering takes them all away.
TEST(FilterServerTest, RegistrationRecordsOfBothFilters) {
    const std::string library = "/opt/framzel/lib/framzel/libfzdsp.so";
    ASSERT_EQ(RegisterFilters(FactoryTemplates(), library, true), com::S_OK);
    struct Case {
        com::CLSID clsid;
        const char* name;
        com::GUID majorType;
    };
    const Case cases[] = {{CLSID_MovieVideoDsp, "Movie Video DSP", media::MEDIATYPE_Video},
                          {CLSID_MovieAudioDsp, "Movie Audio DSP", media::MEDIATYPE_Audio}};
    for (const Case& c : cases) {
        const std::string classKey = "CLSID\\" + com::FormatGuid(c.clsid);
        EXPECT_EQ(Text(classKey, ""), c.name);
        EXPECT_EQ(Text(classKey + "\\InprocServer32", ""), library);
        EXPECT_EQ(Dword(classKey, "Merit"), 0x00200000u);
        EXPECT_EQ(Text("Filter\\" + com::FormatGuid(c.clsid), ""), c.name);
        struct Pin {
            const char* name;
            std::uint32_t direction;
            const char* connectsTo;
        };
        for (const Pin& pin : {Pin{"Input", 0, "Output"}, Pin{"Output", 1, "Input"}}) {
            const std::string pinKey = classKey + "\\Pins\\" + pin.name;
            EXPECT_EQ(Dword(pinKey, "Direction"), pin.direction) << pinKey;
            for (const char* flag : {"IsRendered", "AllowedZero", "AllowedMany"})
                EXPECT_EQ(Dword(pinKey, flag), 0u) << pinKey << " " << flag;
            EXPECT_EQ(Text(pinKey, "ConnectsToFilter"), com::FormatGuid(com::GUID_NULL));
            EXPECT_EQ(Text(pinKey, "ConnectsToPin"), pin.connectsTo);
            EXPECT_TRUE(KeyExists(pinKey + "\\Types\\" + com::FormatGuid(c.majorType) + "\\" +
                                  com::FormatGuid(media::MEDIASUBTYPE_NULL)))
                << pinKey;
        }
    }
    ASSERT_EQ(RegisterFilters(FactoryTemplates(), {}, false), com::S_OK);
    for (const Case& c : cases) {
        EXPECT_FALSE(KeyExists("CLSID\\" + com::FormatGuid(c.clsid)));
        EXPECT_FALSE(KeyExists("Filter\\" + com::FormatGuid(c.clsid)));
    }
}

// The library itself: its DllRegisterServer writes the records with its own path, and the
// engine's way of creating a filter (by class identifier) then works; DllUnregisterServer
// takes the records away again.
TEST(FilterServerTest, TheLibraryRegistersAndServesItsFilters) {
    void* library = dlopen(FZDSP_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto registerServer =
        reinterpret_cast<com::DllRegisterServerFunction>(dlsym(library, "DllRegisterServer"));
    const auto unregisterServer =
        reinterpret_cast<com::DllUnregisterServerFunction>(dlsym(library, "DllUnregisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    EXPECT_EQ(dlsym(library, "_ZN2fz3dsp15FactoryTemplatesEv"), nullptr)
        << "only the four entry points are exported";
    ASSERT_EQ(registerServer(), com::S_OK);
    const std::string classKey = "CLSID\\" + com::FormatGuid(CLSID_MovieAudioDsp);
    EXPECT_EQ(Text(classKey + "\\InprocServer32", ""),
              std::filesystem::canonical(FZDSP_LIBRARY_PATH).string());
    EXPECT_EQ(Dword(classKey, "Merit"), MERIT_UNLIKELY);

    {
        com::ComPtr<IMovieAudioDsp> audio;
        ASSERT_EQ(
            com::CoCreateInstance(CLSID_MovieAudioDsp, nullptr, com::CLSCTX_INPROC_SERVER, &audio),
            com::S_OK);
        EXPECT_EQ(audio->SetAudioFormat(22050, 32000, 7), com::S_OK);
        int rate = 0;
        int channels = 0;
        audio->GetAudioFormat(&rate, &channels);
        EXPECT_EQ(rate, 22050);
        EXPECT_EQ(channels, 2);
        com::ComPtr<IMovieVideoDsp> video;
        ASSERT_EQ(
            com::CoCreateInstance(CLSID_MovieVideoDsp, nullptr, com::CLSCTX_INPROC_SERVER, &video),
            com::S_OK);
        void* other = nullptr;
        EXPECT_EQ(video->QueryInterface(IMovieAudioDsp::kIid, &other), com::E_NOINTERFACE);
    }
    ASSERT_EQ(unregisterServer(), com::S_OK);
    EXPECT_FALSE(KeyExists(classKey));
    dlclose(library);
}

} // namespace
} // namespace fz::dsp
