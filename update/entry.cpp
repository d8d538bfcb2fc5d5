#include "update/entry.h"

#include <objbase.h>
#include <commctrl.h>

#include <clocale>
#include <cstdlib>

#include "framework/handles.h"
#include "update/command_line.h"
#include "update/exe_module.h"
#include "update/group_policy.h"
#include "update/info/update_decision.h"
#include "update/main_wnd.h"
#include "update/platform_checks.h"
#include "update/resource_mgr.h"
#include "update/update_globals.h"
#include "update/update_settings.h"
#include "update/wizard/update_wizard.h"
#include "update_idl.h"

namespace {

constexpr UINT kRegistryScriptId = 100;

// The program exposes no creatable class.
fw::ObjMapEntry g_objectMap[] = {{nullptr, nullptr, 0}};

// Registration and unregistration end the program with their result; they
// touch no window, no resource library and no settings.
int RunRegistration(CommandLineAction action)
{
    HRESULT hr = S_OK;
    if (action == CommandLineAction::UnregServer)
    {
        g_module.UpdateRegistryFromResource(kRegistryScriptId, FALSE);
        hr = g_module.UnregisterServer(TRUE);
    }
    else
    {
        g_module.UpdateRegistryFromResource(kRegistryScriptId, TRUE);
        hr = g_module.RegisterServer(TRUE);
    }
    g_module.Term();
    CoUninitialize();
    return static_cast<int>(hr);
}

// Sets g_bUserIsAdmin; false, with the reason shown, when it cannot be told.
bool TestUserRights()
{
    DWORD dwPlatformId = 0;
    if (!GetPlatformId(&dwPlatformId))
        return false;
    if (dwPlatformId != VER_PLATFORM_WIN32_NT)
    {
        g_bUserIsAdmin = TRUE;
        return true;
    }
    if (!IsUserAdmin(&g_bUserIsAdmin))
    {
        ShowError("Error while testing user rights");
        return false;
    }
    return true;
}

// Tests the user's rights, looks for a running instance, asks the
// organisation's policy, loads the settings, creates the hidden main window
// and the hidden wizard and prepares the update folder. Returns false when
// the run is to end at once; start says how a run that goes on begins.
bool StartRun(CMainWnd& mainWnd, CUpdateWizard& wizard, RunStart& start)
{
    if (!TestUserRights())
        return false;

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

    // Before the settings: a run the organisation does not allow leaves
    // nothing behind, not even the settings' defaults.
    wizard.m_policy = ReadGroupPolicy();
    start = DecideRunStart(wizard.m_policy, g_bManualMode ? RunMode::Manual : RunMode::Automatic);
    if (start == RunStart::EndSilently)
    {
        releaseMutex();
        return false;
    }

    if (!wizard.m_settings.Open() || !wizard.m_settings.Load())
    {
        releaseMutex();
        ShowError("Error while reading registry");
        return false;
    }

    // A failed creation is not detected: the run goes on, but a second
    // instance will not find this one.
    mainWnd.Create(nullptr, nullptr, kProductTitle, 0, 0);
    mainWnd.m_hWndWizard = wizard.Create(mainWnd.m_hWnd, 0);

    releaseMutex();

    // Without its dialog a run would wait for nothing, unseen, for ever.
    if (mainWnd.m_hWndWizard == nullptr)
        return false;

    // Nothing will be downloaded; what an earlier run left stays as it is.
    if (start == RunStart::TurnedOff)
        return true;
    // The folder's own failure box has been shown.
    return wizard.PrepareUpdateFolder();
}

} // namespace

int UpdaterMain(HINSTANCE hInstance)
{
    const char* pszCommandLine = GetCommandLineA();
    CoInitialize(nullptr);
    g_module.Init(g_objectMap, hInstance, &LIBID_UPDATELib);
    g_module.m_dwMainThreadId = GetCurrentThreadId();

    const CommandLineAction action = ScanCommandLine(pszCommandLine, g_bManualMode);
    if (action != CommandLineAction::Run)
        return RunRegistration(action);

    g_module.StartShutdownWatch();
    g_module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE);

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    setlocale(LC_ALL, ".ACP");

    g_resourceMgr.LoadResourceLibrary();
    if (!g_resourceMgr.m_hModule)
        exit(0);
    g_module.SetResourceInstance(g_resourceMgr.m_hModule.Get());

    {
        CMainWnd mainWnd;
        CUpdateWizard wizard;
        RunStart start = RunStart::Check;
        if (StartRun(mainWnd, wizard, start))
        {
            wizard.m_manual = g_bManualMode;
            if (start == RunStart::TurnedOff)
            {
                wizard.FinishWithMessage(IDS_UPDATES_TURNED_OFF);
                wizard.ShowWizard(true);
            }
            else
            {
                wizard.SetActivePage(kPageRetrieveUpdate);
            }
            // A first page that could not be made leaves nothing to wait for.
            if (wizard.m_pCurrentPage != nullptr)
                wizard.RunMessageLoop();
        }

        if (wizard.IsWindow())
            wizard.DestroyWindow();
        if (mainWnd.IsWindow())
            mainWnd.DestroyWindow();
        g_module.RevokeClassObjects();
        // Give COM clients of the process time to let go before the objects
        // go away.
        Sleep(1000);
    }

    g_module.Term();
    CoUninitialize();
    return 0;
}
