// Asynchronous download of one URL through a URL moniker. The whole body is
// handed to OnDownloadComplete as a stream when the transfer ends; nothing is
// written to disk here.
//
// The object is not reference counted: it lives inside the page that uses it.
// Besides the bind-status callback it answers IHttpNegotiate, the only way to
// see the HTTP status: the platform ends a 404 or a body cut short of its
// announced length with success.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "framework/com_ptr.h"

class CDownloader : public IBindStatusCallback, public IHttpNegotiate
{
public:
    CDownloader();
    virtual ~CDownloader();

    CDownloader(const CDownloader&) = delete;
    CDownloader& operator=(const CDownloader&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IBindStatusCallback
    STDMETHODIMP OnStartBinding(DWORD dwReserved, IBinding* pBinding) override;
    STDMETHODIMP GetPriority(LONG* pnPriority) override;
    STDMETHODIMP OnLowResource(DWORD dwReserved) override;
    STDMETHODIMP OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                            LPCWSTR pszStatusText) override;
    STDMETHODIMP OnStopBinding(HRESULT hresult, LPCWSTR pszError) override;
    STDMETHODIMP GetBindInfo(DWORD* pgrfBINDF, BINDINFO* pBindInfo) override;
    STDMETHODIMP OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC* pFormatEtc,
                                 STGMEDIUM* pStgMedium) override;
    STDMETHODIMP OnObjectAvailable(REFIID riid, IUnknown* pUnk) override;

    // IHttpNegotiate
    STDMETHODIMP BeginningTransaction(LPCWSTR szURL, LPCWSTR szHeaders, DWORD dwReserved,
                                      LPWSTR* pszAdditionalHeaders) override;
    STDMETHODIMP OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders,
                            LPCWSTR szRequestHeaders, LPWSTR* pszAdditionalRequestHeaders) override;

    virtual void OnDownloadProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                                    const char* pszStatusText);
    virtual void OnDownloadComplete(IStream* pStream, HRESULT hResult, const char* pszError) = 0;

    // Starts the download; a start that fails completes before this returns.
    void Download(const char* pszUrl, bool bNoCache);
    // Aborts a running download, which then completes with E_ABORT.
    void Cancel();

protected:
    bool m_bNoCache;
    fw::CComPtr<IStream> m_spStream;
    fw::CComPtr<IMoniker> m_spMoniker;
    fw::CComPtr<IBinding> m_spBinding;
    fw::CComPtr<IBindCtx> m_spBindCtx;

private:
    HRESULT CheckTransfer(HRESULT hResult, IStream* pStream) const;

    // Set while a bind is under way, so that one download completes once
    // even when the platform both fails the bind request and stops it.
    bool m_bBinding;
    DWORD m_dwHttpStatus;
    ULONGLONG m_cbAnnounced;
    bool m_bLengthAnnounced;
};
