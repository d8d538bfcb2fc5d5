#include "module.h"

namespace fw {

namespace {
CComModule* g_pModule = nullptr;
}

CComModule* GetModule()
{
    return g_pModule;
}

CComModule::CComModule()
    : m_hInst(nullptr), m_hInstResource(nullptr), m_pObjMap(nullptr), m_libid(),
      m_nLockCnt(0)
{
}

CComModule::~CComModule()
{
    if (g_pModule == this)
        g_pModule = nullptr;
}

HRESULT CComModule::Init(const ObjMapEntry* pObjMap, HINSTANCE hInstance, const GUID* pLibId)
{
    m_pObjMap = pObjMap;
    m_hInst = hInstance;
    m_hInstResource = hInstance;
    if (pLibId != nullptr)
        m_libid = *pLibId;
    g_pModule = this;
    return S_OK;
}

void CComModule::Term()
{
    m_pObjMap = nullptr;
}

HINSTANCE CComModule::GetResourceInstance() const
{
    return m_hInstResource;
}

HINSTANCE CComModule::SetResourceInstance(HINSTANCE hInstance)
{
    return static_cast<HINSTANCE>(InterlockedExchangePointer(
        reinterpret_cast<void* volatile*>(&m_hInstResource), hInstance));
}

LONG CComModule::Lock()
{
    return InterlockedIncrement(&m_nLockCnt);
}

LONG CComModule::Unlock()
{
    return InterlockedDecrement(&m_nLockCnt);
}

} // namespace fw
