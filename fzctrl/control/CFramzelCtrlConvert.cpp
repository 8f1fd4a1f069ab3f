// The conversion methods of the control: thin calls into the engine's conversion driver.
#include "fzctrl/control/CFramzelCtrl.h"

#include <string>

namespace fz {
namespace {

std::string Text(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

template <class T>
void Put(T* out, T value) {
    if (out != nullptr)
        *out = value;
}

} // namespace

void CFramzelCtrl::ConvertStart(const char* srcfile, const char* dstfile, Bool bfast, Bool* bret) {
    Put(bret, kFalse);
    if (m_params.rotate == 90)
        m_params.rotate = 270;
    else if (m_params.rotate == 270)
        m_params.rotate = 90;
    m_params.fixed = 1;
    const int result =
        m_engine.ConvertStart(Text(srcfile), Text(dstfile), bfast != kFalse, m_params);
    Put(bret, ToBool(result == 0));
}

void CFramzelCtrl::ConvertRecord(Bool* value) {
    Put(value, ToBool(m_engine.ConvertGraph().Record()));
}

void CFramzelCtrl::ConvertPause(Bool* value) {
    Put(value, ToBool(m_engine.ConvertGraph().Pause()));
}

void CFramzelCtrl::ConvertRun(Bool* value) {
    Put(value, ToBool(m_engine.ConvertGraph().Run()));
}

void CFramzelCtrl::ConvertStop(Bool* value) {
    m_engine.ConvertStop();
    Put(value, kTrue);
}

void CFramzelCtrl::ConvertSetPosition(long value) {
    m_engine.ConvertGraph().SetPosition(value);
}

void CFramzelCtrl::CanConvertSeeking(Bool* value) {
    Put(value, ToBool(m_engine.ConvertGraph().CanSeek()));
}

void CFramzelCtrl::ConvertGetTotleTime(long* value) {
    Put(value, m_engine.ConvertGraph().TotalTimeMs());
}

void CFramzelCtrl::ConvertGetCurrentTime(long* value) {
    Put(value, m_engine.ConvertGraph().CurrentTimeMs());
}

void CFramzelCtrl::GetConvertState(short* value) {
    Put(value, m_engine.ConvertGraph().State());
}

} // namespace fz
