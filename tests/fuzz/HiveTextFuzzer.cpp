// Fuzz target for the hive's text form. Whatever a file holds, what loads from it must be
// written so that it loads back the same (the same keys, classes, values and damaged lines),
// and writing that again must give the very same text: rewriting a hive never changes it
// further, so no change of the store slowly corrupts a hand-edited file.
#include "platform/registry/HiveModel.h"
#include "platform/registry/HiveText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "hive_text_fuzzer: %s\n", what);
    std::abort();
}

bool SameKey(const fz::registry::HiveKey& a, const fz::registry::HiveKey& b) {
    if (a.path != b.path || a.className != b.className || a.values.size() != b.values.size() ||
        a.damagedLines != b.damagedLines)
        return false;
    for (std::size_t i = 0; i < a.values.size(); ++i)
        if (a.values[i].name != b.values[i].name || a.values[i].type != b.values[i].type ||
            a.values[i].data != b.values[i].data)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fz::registry;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const HiveContents loaded = ParseHive(text);
    for (const auto& [folded, key] : loaded.Keys())
        if (!IsValidKeyPath(key.path))
            Fail("a key beyond the path limits loaded");
    const std::string once = FormatHive(loaded, "fuzz");
    const HiveContents reloaded = ParseHive(once);
    if (reloaded.Keys().size() != loaded.Keys().size())
        Fail("the written hive loads a different number of keys");
    auto it = reloaded.Keys().begin();
    for (const auto& [folded, key] : loaded.Keys()) {
        if (it->first != folded || !SameKey(key, it->second))
            Fail("the written hive loads a different key");
        ++it;
    }
    if (FormatHive(reloaded, "fuzz") != once)
        Fail("writing what loaded is not a fixed point");
    return 0;
}
