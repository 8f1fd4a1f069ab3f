#include "platform/com/ModuleCounts.h"

// fzplatform's own objects (the media graph's, later) count here. fzplatform is never
// unloaded, so nothing asks.
FZ_COM_DEFINE_MODULE()
