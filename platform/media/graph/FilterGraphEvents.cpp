#include "platform/media/graph/FilterGraphObject.h"

#include <chrono>

namespace fz::media {

using com::E_POINTER;
using com::S_OK;

void CFilterGraph::ResetCompletion(int expectedRenderers) {
    std::lock_guard events(m_eventMutex);
    m_completion = 0;
    m_expectedRenderers = expectedRenderers;
    m_completedRenderers.clear();
    m_anonymousCompletions = 0;
}

void CFilterGraph::QueueLocked(long code, std::intptr_t param1, std::intptr_t param2) {
    m_events.push_back({code, param1, param2});
    m_eventHandle.Set();
    m_eventArrived.notify_all();
}

HRESULT CFilterGraph::Notify(long code, std::intptr_t param1, std::intptr_t param2) {
    std::lock_guard events(m_eventMutex);
    if (code == EC_COMPLETE && m_completeHandledByGraph) {
        // One EC_COMPLETE for the application, once every connected renderer has sent its own.
        if (param2)
            m_completedRenderers.insert(param2);
        else
            ++m_anonymousCompletions;
        const int completed =
            static_cast<int>(m_completedRenderers.size()) + m_anonymousCompletions;
        if (completed >= m_expectedRenderers && m_completion == 0) {
            m_completion = EC_COMPLETE;
            QueueLocked(EC_COMPLETE, S_OK, 0);
        }
        return S_OK;
    }
    if ((code == EC_ERRORABORT || code == EC_USERABORT || code == EC_COMPLETE) && m_completion == 0)
        m_completion = code;
    QueueLocked(code, param1, param2);
    return S_OK;
}

HRESULT CFilterGraph::GetEventHandle(OAEVENT* event) {
    if (!event)
        return E_POINTER;
    *event = reinterpret_cast<OAEVENT>(&m_eventHandle);
    return S_OK;
}

HRESULT CFilterGraph::GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                               long timeoutMs) {
    if (!code || !param1 || !param2)
        return E_POINTER;
    std::unique_lock events(m_eventMutex);
    const auto ready = [this] { return !m_events.empty(); };
    if (timeoutMs < 0)
        m_eventArrived.wait(events, ready);
    else if (!m_eventArrived.wait_for(events, std::chrono::milliseconds(timeoutMs), ready)) {
        *code = 0;
        *param1 = *param2 = 0;
        return com::E_ABORT;
    }
    const QueuedEvent event = m_events.front();
    m_events.pop_front();
    if (m_events.empty())
        m_eventHandle.Reset();
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT CFilterGraph::WaitForCompletion(long timeoutMs, long* code) {
    if (!code)
        return E_POINTER;
    *code = 0;
    std::unique_lock events(m_eventMutex);
    const auto done = [this] { return m_completion != 0; };
    if (timeoutMs < 0)
        m_eventArrived.wait(events, done);
    else if (!m_eventArrived.wait_for(events, std::chrono::milliseconds(timeoutMs), done))
        return com::E_ABORT;
    *code = m_completion;
    return S_OK;
}

HRESULT CFilterGraph::CancelDefaultHandling(long code) {
    if (code != EC_COMPLETE)
        return com::E_INVALIDARG;
    std::lock_guard events(m_eventMutex);
    m_completeHandledByGraph = false;
    return S_OK;
}

HRESULT CFilterGraph::RestoreDefaultHandling(long code) {
    if (code != EC_COMPLETE)
        return com::E_INVALIDARG;
    std::lock_guard events(m_eventMutex);
    m_completeHandledByGraph = true;
    return S_OK;
}

HRESULT CFilterGraph::FreeEventParams(long, std::intptr_t, std::intptr_t) {
    return S_OK;
}

} // namespace fz::media
