#pragma once

#include <string>

namespace fz::fs {

// The absolute, normalised path of the loaded library (or program) that holds `address`, found
// through the dynamic linker (dladdr); empty when none does. Code passes the address of one of
// its own functions to learn where its library lives.
std::string LibraryPathOf(const void* address);

} // namespace fz::fs
