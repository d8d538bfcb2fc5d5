#include "update/exe_module.h"

namespace {
constexpr DWORD kShutdownDelayMs = 5000;
}

CExeModule g_module;

CExeModule::CExeModule() : m_dwMainThreadId(0), m_bActivity(false)
{
}

LONG CExeModule::Unlock()
{
    const LONG nCount = InterlockedDecrement(&m_nLockCnt);
    if (nCount == 0)
    {
        m_bActivity = true;
        SetEvent(m_hShutdownEvent.Get());
    }
    return nCount;
}

bool CExeModule::StartShutdownWatch()
{
    if (m_hShutdownEvent)
        return false;
    m_hShutdownEvent.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!m_hShutdownEvent)
        return false;
    fw::CKernelHandle thread(CreateThread(nullptr, 0, ShutdownWatchThread, this, 0, nullptr));
    return static_cast<bool>(thread);
}

DWORD WINAPI CExeModule::ShutdownWatchThread(void* pModule)
{
    static_cast<CExeModule*>(pModule)->WatchForShutdown();
    return 0;
}

void CExeModule::WatchForShutdown()
{
    for (;;)
    {
        WaitForSingleObject(m_hShutdownEvent.Get(), INFINITE);
        // Every new fall to zero within the delay starts it again.
        DWORD dwWait = 0;
        do
        {
            m_bActivity = false;
            dwWait = WaitForSingleObject(m_hShutdownEvent.Get(), kShutdownDelayMs);
        } while (dwWait == WAIT_OBJECT_0);
        if (!m_bActivity && m_nLockCnt == 0)
            break;
    }
    PostThreadMessageA(m_dwMainThreadId, WM_QUIT, 0, 0);
}
