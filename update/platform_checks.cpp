#include "update/platform_checks.h"

#include "framework/handles.h"
#include "update/update_globals.h"

BOOL IsUserAdmin(BOOL* pbIsAdmin)
{
    fw::CTokenHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
        return FALSE;

    DWORD cbGroups = 0;
    GetTokenInformation(token.Get(), TokenGroups, nullptr, 0, &cbGroups);
    fw::CGlobalBlock groupsBlock(GlobalAlloc(GMEM_ZEROINIT, cbGroups));
    if (!groupsBlock)
        return FALSE;
    auto* pGroups = static_cast<TOKEN_GROUPS*>(static_cast<void*>(groupsBlock.Get()));
    if (!GetTokenInformation(token.Get(), TokenGroups, pGroups, cbGroups, &cbGroups))
        return FALSE;

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    fw::CSidHandle adminsSid;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, adminsSid.Receive()))
        return FALSE;

    // The attributes are not looked at: a deny-only group counts too.
    for (DWORD i = 0; i < pGroups->GroupCount; ++i)
    {
        if (EqualSid(pGroups->Groups[i].Sid, adminsSid.Get()))
        {
            *pbIsAdmin = TRUE;
            break;
        }
    }
    return TRUE;
}

static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148,
              "GetVersionExA is asked with both structure sizes");

bool GetPlatformId(DWORD* pdwPlatformId)
{
    OSVERSIONINFOEXA versionInfo = {};
    versionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    auto* pInfo = reinterpret_cast<OSVERSIONINFOA*>(&versionInfo);
    if (!GetVersionExA(pInfo))
    {
        versionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(pInfo))
        {
            ShowSystemError(GetLastError());
            return false;
        }
    }
    *pdwPlatformId = versionInfo.dwPlatformId;
    return true;
}
