// The module object of a program built in the manner of the Windows template
// frameworks: the instance, the instance that resources are loaded from, and
// the count of COM objects alive in the process.
#pragma once

#include <windows.h>

namespace fw {

// One entry of a class map; the map ends with an entry whose pclsid is null.
struct ObjMapEntry
{
    const CLSID* pclsid;
};

class CComModule
{
public:
    CComModule();
    virtual ~CComModule();

    CComModule(const CComModule&) = delete;
    CComModule& operator=(const CComModule&) = delete;

    virtual HRESULT Init(const ObjMapEntry* pObjMap, HINSTANCE hInstance, const GUID* pLibId);
    virtual void Term();

    HINSTANCE GetModuleInstance() const { return m_hInst; }
    HINSTANCE GetResourceInstance() const;
    // Swaps the resource instance atomically and returns the previous one.
    HINSTANCE SetResourceInstance(HINSTANCE hInstance);

    virtual LONG Lock();
    virtual LONG Unlock();
    LONG GetLockCount() const { return m_nLockCnt; }

    const GUID& GetTypeLibId() const { return m_libid; }

protected:
    HINSTANCE m_hInst;
    HINSTANCE volatile m_hInstResource;
    const ObjMapEntry* m_pObjMap;
    GUID m_libid;
    LONG volatile m_nLockCnt;
};

// The process-wide module, set by Init; windows and dialogs of the framework
// load their resources through it.
CComModule* GetModule();

} // namespace fw
