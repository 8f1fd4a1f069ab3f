#pragma once

#include <mutex>

namespace fz::dsp {

// The process-wide lock that serialises JPEG compression and the temporary JPEG file of every
// video filter instance (the YUV422 encoder keeps its tables in process-wide storage). Always
// taken after the filter's own lock, never the other way round. Lives as long as the library.
std::mutex& EncoderLock();

} // namespace fz::dsp
