#include "fzdsp/filters/EncoderLock.h"

namespace fz::dsp {
namespace {

std::mutex g_encoderLock; // constructed when the library is loaded, destroyed at unload

} // namespace

std::mutex& EncoderLock() {
    return g_encoderLock;
}

} // namespace fz::dsp
