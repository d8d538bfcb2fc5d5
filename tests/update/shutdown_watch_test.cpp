#include "update/exe_module.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// One step of a scenario: at a time after the start, change the lock count.
struct Step
{
    DWORD dwAtMs;
    std::function<void(CExeModule&)> action;
};

// Runs the main thread's message loop while the steps happen, and returns
// when WM_QUIT arrives (its time since the start) or after dwLimitMs
// (INFINITE then).
DWORD RunUntilQuit(CExeModule& module, const std::vector<Step>& steps, DWORD dwLimitMs)
{
    const DWORD dwStart = GetTickCount();
    size_t nNext = 0;
    for (;;)
    {
        const DWORD dwNow = GetTickCount() - dwStart;
        while (nNext < steps.size() && steps[nNext].dwAtMs <= dwNow)
            steps[nNext++].action(module);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
                return GetTickCount() - dwStart;
        }
        if (dwNow >= dwLimitMs)
            return INFINITE;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Each test has a module of its own; its watch thread may outlive the test
// and is never ended, so the module stays too.
CExeModule& NewWatchedModule()
{
    auto* pModule = new CExeModule;
    pModule->m_dwMainThreadId = GetCurrentThreadId();
    EXPECT_TRUE(pModule->StartShutdownWatch());
    return *pModule;
}

void LockOnce(CExeModule& module)
{
    module.Lock();
}

void UnlockOnce(CExeModule& module)
{
    module.Unlock();
}

TEST(ShutdownWatch, QuitsFiveSecondsAfterTheLastFallToZero)
{
    CExeModule& module = NewWatchedModule();
    const DWORD dwQuit = RunUntilQuit(module, {{0, LockOnce}, {100, UnlockOnce}}, 9000);
    ASSERT_NE(dwQuit, INFINITE);
    EXPECT_GE(dwQuit, 5000u);
    EXPECT_LE(dwQuit, 6500u);
    EXPECT_EQ(module.GetLockCount(), 0);
}

TEST(ShutdownWatch, ANewFallStartsTheFiveSecondsAgain)
{
    CExeModule& module = NewWatchedModule();
    const DWORD dwQuit = RunUntilQuit(
        module, {{0, LockOnce}, {100, UnlockOnce}, {3000, LockOnce}, {3100, UnlockOnce}}, 12000);
    ASSERT_NE(dwQuit, INFINITE);
    EXPECT_GE(dwQuit, 8000u);
    EXPECT_LE(dwQuit, 9500u);
}

TEST(ShutdownWatch, ALockHeldAtTheEndSendsItBackToWaiting)
{
    CExeModule& module = NewWatchedModule();
    // Falls to zero, then an object is taken again without a new fall: at
    // the end of the five seconds the count is 1 and nothing happens; the
    // next fall starts a new wait.
    const DWORD dwQuit = RunUntilQuit(
        module, {{0, LockOnce}, {100, UnlockOnce}, {2000, LockOnce}, {7000, UnlockOnce}}, 15000);
    ASSERT_NE(dwQuit, INFINITE);
    EXPECT_GE(dwQuit, 12000u);
    EXPECT_LE(dwQuit, 13500u);
}

TEST(ShutdownWatch, NeverFiresWithoutAnyObject)
{
    CExeModule& module = NewWatchedModule();
    EXPECT_EQ(RunUntilQuit(module, {}, 7000), INFINITE);
    // Counting up and down without reaching zero does not fire either.
    EXPECT_EQ(RunUntilQuit(module, {{0, LockOnce}, {10, LockOnce}, {20, UnlockOnce}}, 6500),
              INFINITE);
}

} // namespace
