#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/IClassFactory.h"
#include "platform/com/IUnknown.h"

#include <gtest/gtest.h>
#include <unordered_set>

namespace {

using namespace fz::com;

// The platform's values, which are facts.
static_assert(IID_IUnknown ==
              Guid{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}});
static_assert(IID_IClassFactory ==
              Guid{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}});
static_assert(static_cast<std::uint32_t>(E_FAIL) == 0x80004005u);
static_assert(static_cast<std::uint32_t>(E_NOINTERFACE) == 0x80004002u);
static_assert(static_cast<std::uint32_t>(E_POINTER) == 0x80004003u);
static_assert(static_cast<std::uint32_t>(E_NOTIMPL) == 0x80004001u);
static_assert(static_cast<std::uint32_t>(E_UNEXPECTED) == 0x8000FFFFu);
static_assert(static_cast<std::uint32_t>(E_OUTOFMEMORY) == 0x8007000Eu);
static_assert(static_cast<std::uint32_t>(E_INVALIDARG) == 0x80070057u);
static_assert(static_cast<std::uint32_t>(CLASS_E_NOAGGREGATION) == 0x80040110u);
static_assert(static_cast<std::uint32_t>(CLASS_E_CLASSNOTAVAILABLE) == 0x80040111u);
static_assert(static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG) == 0x80040154u);
static_assert(static_cast<std::uint32_t>(SELFREG_E_TYPELIB) == 0x80040200u);
static_assert(static_cast<std::uint32_t>(SELFREG_E_CLASS) == 0x80040201u);
static_assert(HResultFromWin32(5) == E_ACCESSDENIED && HResultFromWin32(0) == S_OK);
static_assert(Succeeded(S_FALSE) && Failed(E_FAIL) && !Failed(S_OK));

constexpr Guid kNullRenderer = MakeGuid("{36a5f770-fe4c-11ce-a8ed-00aa002feab5}");
static_assert(kNullRenderer.data1 == 0x36A5F770 && kNullRenderer.data2 == 0xFE4C &&
              kNullRenderer.data3 == 0x11CE && kNullRenderer.data4[0] == 0xA8 &&
              kNullRenderer.data4[7] == 0xB5);

TEST(ComGuidTest, FormatIsUpperCaseRegistryFormAndParsesBack) {
    EXPECT_EQ(FormatGuid(kNullRenderer), "{36A5F770-FE4C-11CE-A8ED-00AA002FEAB5}");
    EXPECT_EQ(FormatGuid(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(FormatGuid(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");

    Guid varied{0x01234567, 0x89AB, 0xCDEF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
    const std::string text = FormatGuid(varied);
    EXPECT_EQ(text, "{01234567-89AB-CDEF-FEDC-BA9876543210}");
    auto back = ParseGuid(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, varied);
    for (std::uint32_t seed = 1; seed < 200; ++seed) {
        Guid guid{seed * 2654435761u,
                  static_cast<std::uint16_t>(seed * 40503u),
                  static_cast<std::uint16_t>(~seed),
                  {}};
        for (std::size_t i = 0; i < 8; ++i)
            guid.data4[i] = static_cast<std::uint8_t>(seed * 31 + i * 97);
        EXPECT_EQ(ParseGuid(FormatGuid(guid)), guid);
    }
}

TEST(ComGuidTest, BadStringsAreRefused) {
    for (const char* bad : {
             "", "{}",
             "36A5F770-FE4C-11CE-A8ED-00AA002FEAB5",    // no braces
             "{36A5F770-FE4C-11CE-A8ED-00AA002FEAB5",   // no closing brace
             "(36A5F770-FE4C-11CE-A8ED-00AA002FEAB5)",  // other brackets
             "{36A5F770-FE4C-11CE-A8ED-00AA002FEAB}",   // a digit short
             "{36A5F770-FE4C-11CE-A8ED-00AA002FEAB55}", // a digit more
             "{36A5F770FE4C-11CE-A8ED-00AA002FEAB5-}",  // dash misplaced
             "{36A5F770-FE4C-11CE-A8ED_00AA002FEAB5}",  // not a dash
             "{36A5F77G-FE4C-11CE-A8ED-00AA002FEAB5}",  // not hex
             "{36A5F770-FE4C-11CE-A8ED-00AA002FEA B5}", // space
             "{+6A5F770-FE4C-11CE-A8ED-00AA002FEAB5}",  // sign
             " {36A5F770-FE4C-11CE-A8ED-00AA002FEAB5}", // leading space
             "{36A5F770-FE4C-11CE-A8ED-00AA002FEAB5} ", // trailing space
         }) {
        EXPECT_FALSE(ParseGuid(bad)) << bad;
    }
    EXPECT_FALSE(ParseGuid(std::string_view("{36A5F770-FE4C-11CE-A8ED-00AA002F\0AB5}", 38)));
}

TEST(ComGuidTest, GuidsCompareAndHash) {
    std::unordered_set<Guid, GuidHash> set{IID_IUnknown, IID_IClassFactory, kNullRenderer};
    EXPECT_EQ(set.size(), 3u);
    EXPECT_TRUE(set.count(MakeGuid("{00000001-0000-0000-C000-000000000046}")));
    EXPECT_LT(IID_IUnknown, IID_IClassFactory);
    EXPECT_NE(IID_IUnknown, GUID_NULL);
}

TEST(ComGuidTest, ResultsFormatWithTheirNames) {
    EXPECT_EQ(FormatResult(E_FAIL), "0x80004005 (E_FAIL)");
    EXPECT_EQ(FormatResult(REGDB_E_CLASSNOTREG), "0x80040154 (REGDB_E_CLASSNOTREG)");
    EXPECT_EQ(FormatResult(S_OK), "0x00000000 (S_OK)");
    EXPECT_EQ(FormatResult(static_cast<HRESULT>(0x80001234u)), "0x80001234");
    EXPECT_EQ(ResultName(SELFREG_E_CLASS), "SELFREG_E_CLASS");
}

} // namespace
