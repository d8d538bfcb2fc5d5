#include "update/entry.h"

#include <objbase.h>
#include <commctrl.h>

#include <clocale>
#include <cstdlib>

#include "framework/handles.h"
#include "update/command_line.h"
#include "update/exe_module.h"
#include "update/platform_checks.h"
#include "update/resource_mgr.h"
#include "update/update_globals.h"
#include "update/update_settings.h"

namespace {

// {39D89FF9-807F-4DD6-8C47-03564F1EFCC7}
constexpr GUID kLibIdUpdate = {0x39d89ff9, 0x807f, 0x4dd6,
                               {0x8c, 0x47, 0x03, 0x56, 0x4f, 0x1e, 0xfc, 0xc7}};

// The program exposes no creatable class.
const fw::ObjMapEntry kObjectMap[] = {{nullptr}};

// Registration and unregistration end the program with their result; they
// touch no window, no resource library and no settings.
int RunRegistration(CommandLineAction action)
{
    // COM registration arrives with the module's registrar.
    const HRESULT hr = E_NOTIMPL;
    (void)action;
    g_module.Term();
    CoUninitialize();
    return static_cast<int>(hr);
}

// Tests the user's rights, looks for a running instance and loads the
// settings. Returns false when the run is to end at once.
bool StartRun(UpdateSettings& settings)
{
    DWORD dwPlatformId = 0;
    if (!GetPlatformId(&dwPlatformId))
        return false;

    if (dwPlatformId == VER_PLATFORM_WIN32_NT)
    {
        if (!IsUserAdmin(&g_bUserIsAdmin))
        {
            ShowError("Error while testing user rights");
            return false;
        }
    }
    else
    {
        g_bUserIsAdmin = TRUE;
    }

    g_uActivateMessage = RegisterWindowMessageA(kActivateMessageName);
    if (g_uActivateMessage == 0)
    {
        ShowError("Error while registering window message");
        return false;
    }

    // Held only while this instance starts; nothing waits on it.
    fw::CKernelHandle runMutex(CreateMutexA(nullptr, TRUE, kRunMutexName));
    auto releaseMutex = [&runMutex]() {
        if (runMutex)
            ReleaseMutex(runMutex.Get());
        runMutex.Reset();
    };

    if (HWND hWndRunning = FindWindowA(kMainWindowClass, kProductTitle))
    {
        if (g_bManualMode)
            SendMessageA(hWndRunning, g_uActivateMessage, 1, 0);
        releaseMutex();
        return false;
    }

    if (!settings.Open() || !settings.Load())
    {
        releaseMutex();
        ShowError("Error while reading registry");
        return false;
    }

    releaseMutex();
    return true;
}

} // namespace

int UpdaterMain(HINSTANCE hInstance)
{
    const char* pszCommandLine = GetCommandLineA();
    CoInitialize(nullptr);
    g_module.Init(kObjectMap, hInstance, &kLibIdUpdate);
    g_module.m_dwMainThreadId = GetCurrentThreadId();

    const CommandLineAction action = ScanCommandLine(pszCommandLine, g_bManualMode);
    if (action != CommandLineAction::Run)
        return RunRegistration(action);

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    setlocale(LC_ALL, ".ACP");

    g_resourceMgr.LoadResourceLibrary();
    if (g_resourceMgr.m_hModule == nullptr)
        exit(0);
    g_module.SetResourceInstance(g_resourceMgr.m_hModule);

    {
        UpdateSettings settings;
        StartRun(settings);

        // Give COM clients of the process time to let go before the objects
        // go away.
        Sleep(1000);
    }

    g_module.Term();
    CoUninitialize();
    return 0;
}
