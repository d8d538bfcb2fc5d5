#include "tests/update/updater_process.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "update/exe_module.h"
#include "update/resource_mgr.h"
#include "update/update_globals.h"

bool PrepareProcessLikeTheUpdater()
{
    static fw::ObjMapEntry s_objectMap[] = {{nullptr, nullptr, 0}};
    g_module.Init(s_objectMap, GetModuleHandleA(nullptr), nullptr);
    g_resourceMgr.LoadResourceLibrary();
    if (!g_resourceMgr.m_hModule)
        return false;
    g_module.SetResourceInstance(g_resourceMgr.m_hModule.Get());
    g_uActivateMessage = RegisterWindowMessageA(kActivateMessageName);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    CoInitialize(nullptr);
    return true;
}
