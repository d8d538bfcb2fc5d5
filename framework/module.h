// The module object of a program built in the manner of the Windows template
// frameworks: the instance, the instance that resources are loaded from, the
// count of COM objects alive in the process, its class objects and its
// registration.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace fw {

// One creatable class of the program; the map ends with an entry whose
// pclsid is null.
struct ObjMapEntry
{
    const CLSID* pclsid;
    HRESULT (*pfnGetClassObject)(REFIID riid, void** ppv);
    DWORD dwRegister;
};

class CComModule
{
public:
    CComModule();
    virtual ~CComModule();

    CComModule(const CComModule&) = delete;
    CComModule& operator=(const CComModule&) = delete;

    virtual HRESULT Init(ObjMapEntry* pObjMap, HINSTANCE hInstance, const GUID* pLibId);
    virtual void Term();

    HINSTANCE GetModuleInstance() const { return m_hInst; }
    HINSTANCE GetResourceInstance() const;
    // Swaps the resource instance atomically and returns the previous one.
    HINSTANCE SetResourceInstance(HINSTANCE hInstance);

    virtual LONG Lock();
    virtual LONG Unlock();
    LONG GetLockCount() const { return m_nLockCnt; }

    HRESULT RegisterClassObjects(DWORD dwClsContext, DWORD dwFlags);
    HRESULT RevokeClassObjects();

    // Runs a "REGISTRY" script resource of the program's own file.
    HRESULT UpdateRegistryFromResource(UINT nResId, BOOL bRegister);
    // The classes of the class map, and the type library carried as the
    // program's "TYPELIB" resource 1.
    HRESULT RegisterServer(BOOL bRegTypeLib);
    HRESULT UnregisterServer(BOOL bUnRegTypeLib);

    const GUID& GetTypeLibId() const { return m_libid; }

protected:
    HINSTANCE m_hInst;
    HINSTANCE volatile m_hInstResource;
    ObjMapEntry* m_pObjMap;
    GUID m_libid;
    LONG volatile m_nLockCnt;
};

// The process-wide module, set by Init; windows and dialogs of the framework
// find their instances through it.
CComModule* GetModule();

// Loads string uId of the resource instance into a buffer that it fills at
// most, cut if longer; the buffer is empty and the result 0 when there is no
// such string.
template <int t_cch>
int LoadResString(UINT uId, char (&szBuffer)[t_cch])
{
    szBuffer[0] = '\0';
    return ::LoadStringA(GetModule()->GetResourceInstance(), uId, szBuffer, t_cch);
}

} // namespace fw
