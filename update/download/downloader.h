// Asynchronous download of one URL through a URL moniker. The whole body is
// handed to OnDownloadComplete as a stream when the transfer ends; nothing is
// written to disk here.
//
// The object is not reference counted: it lives inside the page that uses it.
// Besides the bind-status callback it answers IHttpNegotiate, the only way to
// see the HTTP status: the platform ends a 404 or a body cut short of its
// announced length with success.
//
// A download may be bounded in time and size (TransferLimits). One that
// leaves its bounds is aborted and completes with E_DOWNLOAD_TIMEOUT or
// E_DOWNLOAD_TOO_LARGE, never with the user's E_ABORT.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "framework/com_ptr.h"
#include "update/download/transfer_watch.h"
#include "update/result_codes.h"

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

    // The bounds of the downloads started from now on; none by default.
    void SetLimits(const TransferLimits& limits) { m_limits = limits; }
    // Starts the download; a start that fails completes before this returns.
    void Download(const char* pszUrl, bool bNoCache);
    // Aborts a running download, which then completes with E_ABORT.
    void Cancel();
    // Ends a running download without completing it: for when nobody is
    // left to hear of it. Nothing of it calls back afterwards.
    void Abandon();
    bool IsDownloading() const { return m_bBinding; }
    // Aborts the download if it has left its bounds. The owner calls this on
    // a timer while the download runs.
    void CheckLimits();

    const TransferWatch& Watch() const { return m_watch; }
    // The HTTP status of the last answer, 0 before one came, and the reason
    // phrase of its status line.
    DWORD HttpStatus() const { return m_dwHttpStatus; }
    const char* HttpReason() const { return m_szHttpReason; }

protected:
    // The download has started or ended: the owner runs its timer for
    // CheckLimits meanwhile.
    virtual void OnWatchChanged(bool bRunning);
    // More of the body has arrived in the stream, which the owner may read
    // from as it grows, at its own position.
    virtual void OnDataArrived(IStream* pStream);
    // Aborts the download so that it completes with hrFailure. The first
    // reason given stands.
    void AbortWith(HRESULT hrFailure);

    bool m_bNoCache;
    fw::CComPtr<IStream> m_spStream;
    fw::CComPtr<IMoniker> m_spMoniker;
    fw::CComPtr<IBinding> m_spBinding;
    fw::CComPtr<IBindCtx> m_spBindCtx;

private:
    HRESULT CheckTransfer(HRESULT hResult, IStream* pStream) const;
    // Takes what the stream holds so far as a measure of bytes received: the
    // platform fills it before its callbacks tell of them.
    void MeasureStream();
    void NoteReceived(ULONGLONG cbTotal);
    // Aborts at once if the download is too large. From inside the
    // platform's callback, before it reads on: a later abort comes after
    // megabytes more have been taken from the server.
    void AbortIfTooLarge();
    // Aborts a running bind without completing it.
    void StopQuietly();

    // Set while a bind is under way, so that one download completes once
    // even when the platform both fails the bind request and stops it.
    bool m_bBinding;
    DWORD m_dwHttpStatus;
    char m_szHttpReason[64];
    TransferLimits m_limits;
    TransferWatch m_watch;
    // Why the download was aborted, if not by the user.
    HRESULT m_hrLimit;
};
