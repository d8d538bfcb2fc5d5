// The contract between the wizard frame and its pages. The frame creates a
// page, activates it, and routes its three buttons to it; a page that has
// nothing to do for an operation keeps the default, which does nothing.
#pragma once

#include <windows.h>

#include "framework/window.h"
#include "update/resource_ids.h"
#include "update/wizard/wizard_header.h"

class CUpdateWizard;

class CPgUpdatePage
{
public:
    virtual fw::CWindow GetPageWindow() = 0;
    // Creates the page as a child of the wizard, placed in the page area.
    virtual HWND CreatePage(HWND hWndParent, RECT rcPage) = 0;
    virtual void OnActivate() = 0;
    virtual void OnNext() = 0;
    virtual void OnCancel() = 0;
    virtual void OnClose() = 0;
    virtual void SetMessage(const char* pszText) = 0;
    virtual void SetMessageId(UINT uId) = 0;

protected:
    ~CPgUpdatePage() = default;
};

// T is a dialog class (fw::CDialogImpl<T>) with its template id T::IDD.
template <class T>
class CPgUpdatePageImpl : public CPgUpdatePage
{
public:
    explicit CPgUpdatePageImpl(CUpdateWizard* pWizard) : m_pWizard(pWizard) {}

    fw::CWindow GetPageWindow() override { return fw::CWindow(static_cast<T*>(this)->m_hWnd); }

    HWND CreatePage(HWND hWndParent, RECT rcPage) override
    {
        T* pT = static_cast<T*>(this);
        // Every page template has a header band.
        RegisterWizardHeaderClass();
        HWND hWnd = pT->m_hWnd != nullptr ? pT->m_hWnd : pT->Create(hWndParent, 0);
        if (hWnd == nullptr)
            return nullptr;
        // In the tab order where the page area lies: the page's controls come
        // before the wizard's buttons.
        ::SetWindowPos(hWnd, ::GetDlgItem(hWndParent, IDC_WIZ_PAGE_AREA), rcPage.left, rcPage.top,
                       rcPage.right - rcPage.left, rcPage.bottom - rcPage.top, SWP_NOACTIVATE);
        return hWnd;
    }

    void OnNext() override {}
    void OnCancel() override {}
    void OnClose() override {}
    void SetMessage(const char*) override {}
    void SetMessageId(UINT) override {}

protected:
    CUpdateWizard* m_pWizard;
};
