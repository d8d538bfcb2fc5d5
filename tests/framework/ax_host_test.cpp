// The ActiveX host as its control meets it: the client site it is handed,
// asked for the ambient properties and the services.
#include "framework/ax_host.h"

#include <downloadmgr.h>
#include <servprov.h>
#include <urlmon.h>

#include <gtest/gtest.h>

#include "framework/com_ptr.h"

namespace {

// Counts what the platform asks of it and lets nothing go on: every
// download that starts asks its callback for the bind information first.
class CCountingCallback : public IBindStatusCallback
{
public:
    int m_nCalls = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const bool bOurs =
            IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback);
        *ppv = bOurs ? this : nullptr;
        return bOurs ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return Called(); }
    STDMETHODIMP GetPriority(LONG*) override { return Called(); }
    STDMETHODIMP OnLowResource(DWORD) override { return Called(); }
    STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return Called(); }
    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return Called(); }
    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return Called(); }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return Called(); }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return Called(); }

private:
    HRESULT Called()
    {
        ++m_nCalls;
        return E_ABORT;
    }
};

} // namespace

TEST(AxHostTest, AHostedDocumentActsOnNothingAndDownloadsNothing)
{
    ASSERT_TRUE(fw::AxWinInit());
    HWND hWnd = CreateWindowA(fw::kAxWinClassName, "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    fw::CComPtr<IOleClientSite> spSite;
    fw::CComPtr<IDispatch> spAmbient;
    fw::CComPtr<IServiceProvider> spServices;
    ASSERT_EQ(fw::CAxWindow(hWnd).QueryHost(IID_IOleClientSite, reinterpret_cast<void**>(&spSite)),
              S_OK);
    ASSERT_EQ(spSite->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&spAmbient)), S_OK);
    ASSERT_EQ(spSite->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&spServices)),
              S_OK);

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(spAmbient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT,
                                DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(value.vt, VT_I4);
    // Pictures only: no videos, sounds or offline mode.
    EXPECT_EQ(static_cast<DWORD>(value.lVal),
              static_cast<DWORD>(DLCTL_DLIMAGES | DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA |
                                 DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS |
                                 DLCTL_NO_FRAMEDOWNLOAD | DLCTL_NO_BEHAVIORS |
                                 DLCTL_NO_CLIENTPULL | DLCTL_SILENT));

    fw::CComPtr<IDownloadManager> spDownloads;
    ASSERT_EQ(spServices->QueryService(__uuidof(IDownloadManager), __uuidof(IDownloadManager),
                                       reinterpret_cast<void**>(&spDownloads)),
              S_OK);
    // A download offered as the browser offers one: taken, and never bound.
    CCountingCallback callback;
    fw::CComPtr<IMoniker> spMoniker;
    fw::CComPtr<IBindCtx> spBindCtx;
    ASSERT_EQ(CreateURLMonikerEx(nullptr, L"http://127.0.0.1:1/setup.exe", &spMoniker,
                                 URL_MK_UNIFORM),
              S_OK);
    ASSERT_EQ(CreateBindCtx(0, &spBindCtx), S_OK);
    ASSERT_EQ(RegisterBindStatusCallback(spBindCtx, &callback, nullptr, 0), S_OK);
    EXPECT_EQ(spDownloads->Download(spMoniker, spBindCtx, BINDVERB_GET, 0, nullptr, nullptr,
                                    nullptr, CP_ACP),
              S_OK);
    EXPECT_EQ(callback.m_nCalls, 0);
    fw::CComPtr<IUnknown> spOther;
    EXPECT_EQ(spServices->QueryService(IID_IOleClientSite, IID_IUnknown,
                                       reinterpret_cast<void**>(&spOther)),
              E_NOINTERFACE);
    DestroyWindow(hWnd);
}
