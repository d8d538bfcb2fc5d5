// Looks for the holders of the product on a thread of its own, so that the
// window waiting for them never waits on a snapshot of every process. The
// thread touches no window: it posts a message to the one that asked, which
// then takes the findings from here. One search at a time.
//
// The search and its thread share one reference-counted job, freed by
// whichever lets it go last: a search that outlives its owner (or the
// window) finishes into its own job and posts to a window that may be gone,
// which is harmless.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/handles.h"
#include "update/install/product_holders.h"

class CHolderSearch
{
public:
    using SearchFn = std::vector<ProductHolder> (*)(const std::string& productFolder);

    // How long the owner's end waits for a search still looking; beyond it
    // the search finishes alone.
    static constexpr DWORD kEndWaitMs = 2000;

    explicit CHolderSearch(SearchFn pfnSearch = FindProductHolders) : m_pfnSearch(pfnSearch) {}
    ~CHolderSearch();

    CHolderSearch(const CHolderSearch&) = delete;
    CHolderSearch& operator=(const CHolderSearch&) = delete;

    // Starts looking in the folder and posts uMsg to hWnd once it has looked.
    // S_FALSE while a search is still looking: its message is still to come.
    // A failure when no thread could be started; nothing is posted then.
    HRESULT Start(HWND hWnd, UINT uMsg, const std::string& productFolder);

    // What the finished search found: S_OK with the holders, a failure when
    // it could not look (holders untouched), S_FALSE while nothing finished
    // is left to take.
    HRESULT TakeFindings(std::vector<ProductHolder>& holders);

private:
    struct Job;

    static DWORD WINAPI SearchThread(void* pJob);
    bool IsLooking() const;
    void Forget();

    SearchFn m_pfnSearch;
    // The search started last, and its thread; null once its findings are
    // taken.
    Job* m_pJob = nullptr;
    fw::CKernelHandle m_thread;
};
