#include "framework/module.h"

#include <oleauto.h>

#include <string>

#include "framework/com_ptr.h"
#include "framework/registrar.h"

namespace fw {

namespace {

CComModule* g_pModule = nullptr;

// The program's own file as a wide path, for the type library calls.
bool GetModulePathW(HINSTANCE hInstance, std::wstring& path, std::wstring& folder)
{
    wchar_t szPath[MAX_PATH] = {};
    const DWORD cch = GetModuleFileNameW(hInstance, szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return false;
    path = szPath;
    const size_t nSlash = path.find_last_of(L"\\/");
    folder = nSlash == std::wstring::npos ? std::wstring() : path.substr(0, nSlash);
    return true;
}

// The type library that the program carries as its resource 1.
HRESULT LoadOwnTypeLib(HINSTANCE hInstance, CComPtr<ITypeLib>& spTypeLib, std::wstring& path,
                       std::wstring& folder)
{
    if (!GetModulePathW(hInstance, path, folder))
        return E_FAIL;
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, &spTypeLib);
}

} // namespace

CComModule* GetModule()
{
    return g_pModule;
}

CComModule::CComModule()
    : m_hInst(nullptr), m_hInstResource(nullptr), m_pObjMap(nullptr), m_libid(), m_nLockCnt(0)
{
}

CComModule::~CComModule()
{
    if (g_pModule == this)
        g_pModule = nullptr;
}

HRESULT CComModule::Init(ObjMapEntry* pObjMap, HINSTANCE hInstance, const GUID* pLibId)
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

HRESULT CComModule::RegisterClassObjects(DWORD dwClsContext, DWORD dwFlags)
{
    for (ObjMapEntry* pEntry = m_pObjMap; pEntry != nullptr && pEntry->pclsid != nullptr; ++pEntry)
    {
        CComPtr<IUnknown> spFactory;
        HRESULT hr = pEntry->pfnGetClassObject(IID_IUnknown, reinterpret_cast<void**>(&spFactory));
        if (SUCCEEDED(hr))
            hr = CoRegisterClassObject(*pEntry->pclsid, spFactory, dwClsContext, dwFlags,
                                       &pEntry->dwRegister);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CComModule::RevokeClassObjects()
{
    for (ObjMapEntry* pEntry = m_pObjMap; pEntry != nullptr && pEntry->pclsid != nullptr; ++pEntry)
    {
        if (pEntry->dwRegister != 0)
        {
            CoRevokeClassObject(pEntry->dwRegister);
            pEntry->dwRegister = 0;
        }
    }
    return S_OK;
}

HRESULT CComModule::UpdateRegistryFromResource(UINT nResId, BOOL bRegister)
{
    HRSRC hResource = FindResourceA(m_hInst, MAKEINTRESOURCEA(nResId), "REGISTRY");
    if (hResource == nullptr)
        return HRESULT_FROM_WIN32(GetLastError());
    HGLOBAL hData = LoadResource(m_hInst, hResource);
    const char* pText = static_cast<const char*>(LockResource(hData));
    if (pText == nullptr)
        return E_FAIL;
    // The resource is not terminated; its size bounds the text.
    std::string script;
    try
    {
        script.assign(pText, SizeofResource(m_hInst, hResource));
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    return CRegistrar().UpdateRegistry(script, bRegister != FALSE);
}

HRESULT CComModule::RegisterServer(BOOL bRegTypeLib)
{
    if (!bRegTypeLib)
        return S_OK;
    std::wstring path, folder;
    CComPtr<ITypeLib> spTypeLib;
    HRESULT hr = LoadOwnTypeLib(m_hInst, spTypeLib, path, folder);
    if (FAILED(hr))
        return hr;
    return RegisterTypeLib(spTypeLib, const_cast<wchar_t*>(path.c_str()),
                           folder.empty() ? nullptr : const_cast<wchar_t*>(folder.c_str()));
}

HRESULT CComModule::UnregisterServer(BOOL bUnRegTypeLib)
{
    if (!bUnRegTypeLib)
        return S_OK;
    std::wstring path, folder;
    CComPtr<ITypeLib> spTypeLib;
    HRESULT hr = LoadOwnTypeLib(m_hInst, spTypeLib, path, folder);
    if (FAILED(hr))
        return hr;
    TLIBATTR* pAttr = nullptr;
    hr = spTypeLib->GetLibAttr(&pAttr);
    if (FAILED(hr))
        return hr;
    const TLIBATTR attr = *pAttr;
    spTypeLib->ReleaseTLibAttr(pAttr);
    return UnRegisterTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid,
                             attr.syskind);
}

} // namespace fw
