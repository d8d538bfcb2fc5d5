// Compiled into every GoogleTest program. Under Wine the first thread to end
// in a process has the host load its unwinder under the dynamic loader's
// lock. When that first end comes from ExitProcess, which ends the threads
// still running (a platform worker of a download, say), the exiting thread
// waits for that lock after the wineserver has counted the process as gone,
// and the wineserver kills it if it is not gone half a second later: on a
// busy machine, a program whose tests all passed is reported killed. A
// thread ended here, before any test, takes that load out of the exit.
#include <windows.h>

#include "framework/handles.h"

namespace {

DWORD WINAPI EndAtOnce(void*)
{
    return 0;
}

bool EndOneThread()
{
    fw::CKernelHandle thread(CreateThread(nullptr, 0, EndAtOnce, nullptr, 0, nullptr));
    return thread && WaitForSingleObject(thread.Get(), INFINITE) == WAIT_OBJECT_0;
}

const bool g_bOneThreadEnded = EndOneThread();

} // namespace
