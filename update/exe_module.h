// The updater's module object: counts the COM objects alive in the process
// and ends the main thread's message loop once the count has fallen to zero
// and stayed there for five seconds.
#pragma once

#include "framework/handles.h"
#include "framework/module.h"

class CExeModule : public fw::CComModule
{
public:
    CExeModule();

    LONG Unlock() override;

    // Creates the event and the watch thread; false if either fails.
    bool StartShutdownWatch();

    DWORD m_dwMainThreadId;
    // Lives as long as the module: the watch thread waits on it to the end.
    fw::CKernelHandle m_hShutdownEvent;
    bool volatile m_bActivity;

private:
    static DWORD WINAPI ShutdownWatchThread(void* pModule);
    void WatchForShutdown();
};

extern CExeModule g_module;
