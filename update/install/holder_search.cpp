#include "update/install/holder_search.h"

#include "framework/com_guard.h"

struct CHolderSearch::Job
{
    Job(SearchFn pfn, HWND hWndNotify, UINT uNotifyMsg, const std::string& productFolder)
        : pfnSearch(pfn), folder(productFolder), hWnd(hWndNotify), uMsg(uNotifyMsg)
    {
    }

    void Release()
    {
        if (InterlockedDecrement(&cRef) == 0)
            delete this;
    }

    // The owner's and the thread's.
    LONG volatile cRef = 2;
    const SearchFn pfnSearch;
    const std::string folder;
    const HWND hWnd;
    const UINT uMsg;
    // Written by the thread before it sets lDone; read by the owner only
    // after it has seen lDone set.
    std::vector<ProductHolder> holders;
    HRESULT hr = E_PENDING;
    LONG volatile lDone = 0;
};

CHolderSearch::~CHolderSearch()
{
    // The process should not end while the search still looks; a search that
    // hangs keeps its job alive by itself.
    if (IsLooking())
        WaitForSingleObject(m_thread.Get(), kEndWaitMs);
    Forget();
}

HRESULT CHolderSearch::Start(HWND hWnd, UINT uMsg, const std::string& productFolder)
{
    if (IsLooking())
        return S_FALSE;
    // Findings never taken are stale by now.
    Forget();
    Job* pJob = nullptr;
    const HRESULT hr = fw::ComGuard([&]() {
        pJob = new Job(m_pfnSearch, hWnd, uMsg, productFolder);
        return S_OK;
    });
    if (FAILED(hr))
        return hr;
    m_thread.Reset(CreateThread(nullptr, 0, SearchThread, pJob, 0, nullptr));
    if (!m_thread)
    {
        const HRESULT hrThread = HRESULT_FROM_WIN32(GetLastError());
        delete pJob;
        return hrThread;
    }
    m_pJob = pJob;
    return S_OK;
}

HRESULT CHolderSearch::TakeFindings(std::vector<ProductHolder>& holders)
{
    if (m_pJob == nullptr || IsLooking())
        return S_FALSE;
    const HRESULT hr = m_pJob->hr;
    if (SUCCEEDED(hr))
        holders.swap(m_pJob->holders);
    Forget();
    return hr;
}

DWORD WINAPI CHolderSearch::SearchThread(void* pParam)
{
    Job* pJob = static_cast<Job*>(pParam);
    pJob->hr = fw::ComGuard([pJob]() {
        pJob->holders = pJob->pfnSearch(pJob->folder);
        return S_OK;
    });
    InterlockedExchange(&pJob->lDone, 1);
    ::PostMessageA(pJob->hWnd, pJob->uMsg, 0, 0);
    pJob->Release();
    return 0;
}

bool CHolderSearch::IsLooking() const
{
    return m_pJob != nullptr && InterlockedCompareExchange(&m_pJob->lDone, 0, 0) == 0;
}

void CHolderSearch::Forget()
{
    if (m_pJob != nullptr)
        m_pJob->Release();
    m_pJob = nullptr;
    m_thread.Reset();
}
