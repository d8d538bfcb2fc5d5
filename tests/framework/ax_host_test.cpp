// The ActiveX host as its control meets it: the client site it is handed,
// asked for the ambient properties and the services.
#include "framework/ax_host.h"

#include <downloadmgr.h>
#include <servprov.h>

#include <gtest/gtest.h>

#include "framework/com_ptr.h"

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
    // Taken without a moniker to bind: the manager binds none.
    EXPECT_EQ(
        spDownloads->Download(nullptr, nullptr, BINDVERB_GET, 0, nullptr, nullptr, nullptr, 0),
        S_OK);
    fw::CComPtr<IUnknown> spOther;
    EXPECT_EQ(spServices->QueryService(IID_IOleClientSite, IID_IUnknown,
                                       reinterpret_cast<void**>(&spOther)),
              E_NOINTERFACE);
    DestroyWindow(hWnd);
}
