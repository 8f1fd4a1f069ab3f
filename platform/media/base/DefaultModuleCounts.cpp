#include "platform/com/ModuleCounts.h"

// The media objects count in the ModuleCounts of the binary they are linked into. A library
// that serves classes defines its own (FZ_COM_SERVER_CLASS_EXPORTS or FZ_COM_DEFINE_MODULE),
// which takes precedence; a program that links these classes without serving any (a test, a
// tool, a static library of the engine used by one) counts them here.
[[gnu::weak]] FZ_COM_LOCAL ::fz::com::ModuleCounts& ::fz::com::ThisModule() {
    static ::fz::com::ModuleCounts counts;
    return counts;
}
