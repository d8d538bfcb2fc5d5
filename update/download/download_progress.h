// Ties a downloader to the progress bar of a page dialog: the bar runs from
// 0 to 1000 whatever the size of the download. The page derives from this
// next to its dialog base, chains its message map here and implements the
// completion. The page's window also carries the timer that holds a running
// download to its bounds.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/window.h"
#include "update/download/downloader.h"

template <class T, int t_nProgressId>
class CDownloadProgressImpl : public CDownloader
{
public:
    CDownloadProgressImpl() : m_wndProgress(nullptr) {}

    // How often a running download is held to its bounds: often enough that
    // a bound of seconds is kept to within a fraction of a second.
    static constexpr UINT kWatchPeriodMs = 250;
    static constexpr UINT_PTR kWatchTimerId = 0x5A50;

    BEGIN_MSG_MAP(CDownloadProgressImpl)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
    END_MSG_MAP()

    void OnDownloadProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG, const char*) override
    {
        if (!::IsWindow(m_wndProgress) || ulProgressMax == 0)
            return;
        // 1000 * progress / maximum, rounded to nearest; in 64 bits so that
        // downloads beyond 2 GiB do not turn negative.
        ULONGLONG ullPos = (1000ull * ulProgress + ulProgressMax / 2) / ulProgressMax;
        if (ullPos > 1000)
            ullPos = 1000;
        ::SendMessageA(m_wndProgress, PBM_SETPOS, static_cast<WPARAM>(ullPos), 0);
    }

protected:
    void OnWatchChanged(bool bRunning) override
    {
        const HWND hWnd = static_cast<T*>(this)->m_hWnd;
        if (hWnd == nullptr)
            return;
        if (bRunning)
            ::SetTimer(hWnd, kWatchTimerId, kWatchPeriodMs, nullptr);
        else
            ::KillTimer(hWnd, kWatchTimerId);
    }

    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        if (wParam != kWatchTimerId)
        {
            bHandled = FALSE;
            return 0;
        }
        CheckLimits();
        return 0;
    }

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        T* pT = static_cast<T*>(this);
        m_wndProgress = ::GetDlgItem(pT->m_hWnd, t_nProgressId);
        ::SendMessageA(m_wndProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 1000));
        ::SendMessageA(m_wndProgress, PBM_SETPOS, 0, 0);
        return TRUE;
    }

    HWND m_wndProgress;
};
