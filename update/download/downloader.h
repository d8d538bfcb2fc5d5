// Asynchronous download of one URL through a URL moniker. The whole body is
// handed to OnDownloadComplete as a stream when the transfer ends; nothing is
// written to disk here.
//
// The downloader lives inside the page that uses it and is not reference
// counted. What the platform holds and calls back is a small counted object
// of its own, made for each download, which passes every call on to its
// downloader until the download completes, is abandoned or the downloader
// goes; a call that comes later does nothing. Besides the bind-status
// callback it answers IHttpNegotiate, the only way to see the HTTP status:
// the platform ends a 404 or a body cut short of its announced length with
// success.
//
// A download may be bounded in time and size (TransferLimits). One that
// leaves its bounds is aborted and completes with E_DOWNLOAD_TIMEOUT or
// E_DOWNLOAD_TOO_LARGE, never with the user's E_ABORT.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <string>

#include "framework/com_ptr.h"
#include "update/download/transfer_watch.h"
#include "update/result_codes.h"

class CDownloadSink;

class CDownloader
{
public:
    CDownloader();
    virtual ~CDownloader();

    CDownloader(const CDownloader&) = delete;
    CDownloader& operator=(const CDownloader&) = delete;

    virtual void OnDownloadProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                                    const char* pszStatusText);
    virtual void OnDownloadComplete(IStream* pStream, HRESULT hResult, const char* pszError) = 0;

    // The bounds of the downloads started from now on; none by default.
    void SetLimits(const TransferLimits& limits) { m_limits = limits; }
    // Headers added to the requests of the downloads started from now on,
    // each line ended by CRLF ("Range: bytes=100-\r\n"); none by default.
    void SetRequestHeaders(const std::string& headers) { m_requestHeaders = headers; }
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
    // A header of the last answer ("ETag"), as sent; empty when it was not
    // sent, or holds anything but printable ASCII, or is over 256 characters.
    std::string ResponseHeader(const char* pszName) const;
    // What the platform calls back for the running download, null when none
    // runs. It may outlive the downloader: the platform lets it go when it
    // pleases.
    IBindStatusCallback* Callback() const;

protected:
    // The download has started or ended: the owner runs its timer for
    // CheckLimits meanwhile.
    virtual void OnWatchChanged(bool bRunning);
    // More of the body has arrived in the stream, which the owner may read
    // from as it grows, at its own position.
    virtual void OnDataArrived(IStream* pStream);
    // The answer's status line and headers have come (HttpStatus,
    // ResponseHeader), before any of its body.
    virtual void OnAnswered();
    // Aborts the download so that it completes with hrFailure. The first
    // reason given stands.
    void AbortWith(HRESULT hrFailure);

private:
    friend class CDownloadSink;

    // The platform's calls, passed on by the sink of the running download.
    HRESULT OnBindStarted(IBinding* pBinding);
    HRESULT OnBindProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                           LPCWSTR pszStatusText);
    HRESULT OnBindStopped(HRESULT hresult, LPCWSTR pszError);
    DWORD BindFlags() const;
    HRESULT OnBindData(DWORD dwSize, STGMEDIUM* pStgMedium);
    HRESULT OnBindResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders);
    HRESULT OnBeginningTransaction(LPWSTR* pszAdditionalHeaders);

    // Makes the sink of a new download; E_OUTOFMEMORY when there is none.
    HRESULT AttachSink();
    // From now on the platform's calls reach nothing of this downloader.
    void DetachSink();

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

    bool m_bNoCache;
    fw::CComPtr<CDownloadSink> m_spSink;
    fw::CComPtr<IStream> m_spStream;
    fw::CComPtr<IMoniker> m_spMoniker;
    fw::CComPtr<IBinding> m_spBinding;
    fw::CComPtr<IBindCtx> m_spBindCtx;
    // Set while a bind is under way, so that one download completes once
    // even when the platform both fails the bind request and stops it.
    bool m_bBinding;
    DWORD m_dwHttpStatus;
    char m_szHttpReason[64];
    std::wstring m_responseHeaders;
    std::string m_requestHeaders;
    TransferLimits m_limits;
    TransferWatch m_watch;
    // Why the download was aborted, if not by the user.
    HRESULT m_hrLimit;
};
