#include "update/download/downloader.h"

#include <cctype>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "framework/ansi_text.h"
#include "framework/com_guard.h"
#include "framework/com_object.h"

namespace {

// A status of 400 or more is a failed download whatever the transfer says.
constexpr DWORD kFirstHttpError = 400;

// The longest header value taken; a longer one is no value the updater uses.
constexpr size_t kMaxHeaderValue = 256;

// The value of the first header of that name (without its colon) in a
// block of response headers, without the white space around it; false when
// there is none, or when it holds anything but printable ASCII or is too
// long: a value may go back to the server in a request's headers.
bool FindHeader(const wchar_t* pszHeaders, const char* pszName, std::string& value)
{
    if (pszHeaders == nullptr)
        return false;
    const size_t cchName = std::strlen(pszName);
    for (const wchar_t* pLine = pszHeaders; *pLine != L'\0';)
    {
        size_t i = 0;
        while (i < cchName && pLine[i] != L'\0' &&
               std::towlower(pLine[i]) == static_cast<wchar_t>(std::tolower(pszName[i])))
            ++i;
        if (i == cchName && pLine[i] == L':')
        {
            const wchar_t* p = pLine + cchName + 1;
            while (*p == L' ' || *p == L'\t')
                ++p;
            value.clear();
            for (; *p != L'\0' && *p != L'\r' && *p != L'\n'; ++p)
            {
                if (*p < L' ' || *p >= 0x7F || value.size() >= kMaxHeaderValue)
                    return false;
                value += static_cast<char>(*p);
            }
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.pop_back();
            return true;
        }
        const wchar_t* pNext = std::wcschr(pLine, L'\n');
        if (pNext == nullptr)
            break;
        pLine = pNext + 1;
    }
    return false;
}

// Reads the Content-Length header out of a block of response headers.
bool FindContentLength(const wchar_t* pszHeaders, ULONGLONG& cbLength)
{
    std::string value;
    if (!FindHeader(pszHeaders, "Content-Length", value) || value.empty())
        return false;
    ULONGLONG cb = 0;
    for (const char c : value)
    {
        if (c < '0' || c > '9' || cb > (~0ull - 9) / 10)
            return false;
        cb = cb * 10 + static_cast<ULONGLONG>(c - '0');
    }
    cbLength = cb;
    return true;
}

// The reason phrase of the status line that heads the response headers,
// "Not Found" of "HTTP/1.1 404 Not Found"; empty where there is none.
void ReadReasonPhrase(const wchar_t* pszHeaders, char* pszReason, size_t cchReason)
{
    pszReason[0] = '\0';
    if (pszHeaders == nullptr || _wcsnicmp(pszHeaders, L"HTTP/", 5) != 0)
        return;
    const wchar_t* p = std::wcschr(pszHeaders, L' ');
    if (p != nullptr)
        p = std::wcschr(p + 1, L' ');
    if (p == nullptr)
        return;
    size_t n = 0;
    // Plain ASCII only: the phrase is the server's, shown to the user.
    for (++p; *p != L'\0' && *p != L'\r' && *p != L'\n' && n + 1 < cchReason; ++p)
        pszReason[n++] = (*p >= L' ' && *p < 0x7F) ? static_cast<char>(*p) : '?';
    pszReason[n] = '\0';
}

} // namespace

// What the platform holds and calls for one download, counted on its own:
// the platform may hold it, and even call it, after the download has ended
// and its downloader has gone. It passes each call on while it has a
// downloader and answers without doing anything once detached.
class CDownloadSink final : public fw::CComObjectRoot<IBindStatusCallback, IHttpNegotiate>
{
public:
    explicit CDownloadSink(CDownloader* pOwner) : m_pOwner(pOwner) {}

    void Detach() { m_pOwner = nullptr; }

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

private:
    ~CDownloadSink() override = default;

    // Runs call on the downloader; hrDetached without one.
    template <typename Call>
    HRESULT PassOn(HRESULT hrDetached, Call&& call);

    CDownloader* m_pOwner;
};

template <typename Call>
HRESULT CDownloadSink::PassOn(HRESULT hrDetached, Call&& call)
{
    // A completion detaches and lets go of this object from inside the
    // call: held across it.
    fw::CComPtr<CDownloadSink> spThis(this);
    CDownloader* pOwner = m_pOwner;
    return pOwner != nullptr ? call(*pOwner) : hrDetached;
}

STDMETHODIMP CDownloadSink::OnStartBinding(DWORD, IBinding* pBinding)
{
    // A bind that nobody hears of is not to go on.
    return PassOn(E_ABORT, [&](CDownloader& owner) { return owner.OnBindStarted(pBinding); });
}

STDMETHODIMP CDownloadSink::GetPriority(LONG* pnPriority)
{
    if (pnPriority == nullptr)
        return E_POINTER;
    *pnPriority = THREAD_PRIORITY_NORMAL;
    return S_OK;
}

STDMETHODIMP CDownloadSink::OnLowResource(DWORD)
{
    return S_OK;
}

STDMETHODIMP CDownloadSink::OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                                       LPCWSTR pszStatusText)
{
    return PassOn(S_OK, [&](CDownloader& owner) {
        return owner.OnBindProgress(ulProgress, ulProgressMax, ulStatusCode, pszStatusText);
    });
}

STDMETHODIMP CDownloadSink::OnStopBinding(HRESULT hresult, LPCWSTR pszError)
{
    return PassOn(S_OK, [&](CDownloader& owner) { return owner.OnBindStopped(hresult, pszError); });
}

STDMETHODIMP CDownloadSink::GetBindInfo(DWORD* pgrfBINDF, BINDINFO*)
{
    if (pgrfBINDF == nullptr)
        return E_POINTER;
    return PassOn(E_UNEXPECTED, [&](CDownloader& owner) {
        *pgrfBINDF = owner.BindFlags();
        return S_OK;
    });
}

STDMETHODIMP CDownloadSink::OnDataAvailable(DWORD, DWORD dwSize, FORMATETC*, STGMEDIUM* pStgMedium)
{
    return PassOn(S_OK, [&](CDownloader& owner) { return owner.OnBindData(dwSize, pStgMedium); });
}

STDMETHODIMP CDownloadSink::OnObjectAvailable(REFIID, IUnknown*)
{
    return S_OK;
}

STDMETHODIMP CDownloadSink::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                 LPWSTR* pszAdditionalHeaders)
{
    if (pszAdditionalHeaders == nullptr)
        return E_POINTER;
    *pszAdditionalHeaders = nullptr;
    return PassOn(S_OK, [&](CDownloader& owner) {
        return owner.OnBeginningTransaction(pszAdditionalHeaders);
    });
}

STDMETHODIMP CDownloadSink::OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders, LPCWSTR,
                                       LPWSTR* pszAdditionalRequestHeaders)
{
    if (pszAdditionalRequestHeaders != nullptr)
        *pszAdditionalRequestHeaders = nullptr;
    return PassOn(S_OK, [&](CDownloader& owner) {
        return owner.OnBindResponse(dwResponseCode, szResponseHeaders);
    });
}

CDownloader::CDownloader()
    : m_bNoCache(false), m_bBinding(false), m_dwHttpStatus(0), m_szHttpReason(), m_hrLimit(S_OK)
{
}

CDownloader::~CDownloader()
{
    // The owner abandons a running download before it goes; this is the
    // last line of defence, where the owner's part is already gone.
    StopQuietly();
    m_spBindCtx.Release();
    m_spBinding.Release();
    m_spMoniker.Release();
    m_spStream.Release();
}

IBindStatusCallback* CDownloader::Callback() const
{
    return m_spSink.p;
}

HRESULT CDownloader::AttachSink()
{
    // A new download hears only of its own bind.
    DetachSink();
    CDownloadSink* pSink = new (std::nothrow) CDownloadSink(this);
    if (pSink == nullptr)
        return E_OUTOFMEMORY;
    m_spSink.Attach(pSink);
    return S_OK;
}

void CDownloader::DetachSink()
{
    if (!m_spSink)
        return;
    m_spSink->Detach();
    m_spSink.Release();
}

HRESULT CDownloader::OnBindStarted(IBinding* pBinding)
{
    m_spBinding = pBinding;
    return S_OK;
}

HRESULT CDownloader::OnBindProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                                    LPCWSTR pszStatusText)
{
    return fw::ComGuard([&] {
        if (ulStatusCode == BINDSTATUS_DOWNLOADINGDATA ||
            ulStatusCode == BINDSTATUS_ENDDOWNLOADDATA)
        {
            NoteReceived(ulProgress);
            AbortIfTooLarge();
            if (!m_bBinding)
                return S_OK;
        }
        std::string text;
        const bool bHasText = fw::WideToAnsi(pszStatusText, text);
        OnDownloadProgress(ulProgress, ulProgressMax, ulStatusCode,
                           bHasText ? text.c_str() : nullptr);
        return S_OK;
    });
}

HRESULT CDownloader::CheckTransfer(HRESULT hResult, IStream* pStream) const
{
    if (FAILED(hResult))
        return hResult;
    if (m_dwHttpStatus >= kFirstHttpError)
        return E_DOWNLOAD_HTTP_STATUS;
    if (m_watch.LengthKnown() && pStream != nullptr)
    {
        STATSTG stat = {};
        if (SUCCEEDED(pStream->Stat(&stat, STATFLAG_NONAME)) &&
            stat.cbSize.QuadPart < m_watch.AnnouncedLength())
            return E_DOWNLOAD_CUT_SHORT;
    }
    return hResult;
}

HRESULT CDownloader::OnBindStopped(HRESULT hresult, LPCWSTR pszError)
{
    if (!m_bBinding)
        return S_OK;
    m_bBinding = false;
    // The download is over: whatever the platform still calls reaches
    // nothing here.
    DetachSink();
    OnWatchChanged(false);
    fw::CComPtr<IStream> spStream = m_spStream;
    fw::CComPtr<IMoniker> spMoniker = m_spMoniker;
    fw::CComPtr<IBindCtx> spBindCtx = m_spBindCtx;

    m_spBinding.Release();
    m_spMoniker.Release();
    m_spBindCtx.Release();
    m_spStream.Release();

    // A bound that aborted the download names the failure; the platform
    // only knows of an abort.
    const HRESULT hResult = FAILED(m_hrLimit) ? m_hrLimit : CheckTransfer(hresult, spStream);
    return fw::ComGuard([&] {
        std::string error;
        const bool bHasError = fw::WideToAnsi(pszError, error);
        OnDownloadComplete(spStream, hResult, bHasError ? error.c_str() : nullptr);
        return S_OK;
    });
}

DWORD CDownloader::BindFlags() const
{
    return BINDF_ASYNCHRONOUS | BINDF_GETNEWESTVERSION | BINDF_SILENTOPERATION |
           (m_bNoCache ? BINDF_PRAGMA_NO_CACHE : BINDF_RESYNCHRONIZE);
}

HRESULT CDownloader::OnBindData(DWORD dwSize, STGMEDIUM* pStgMedium)
{
    if (!m_spStream && pStgMedium != nullptr && pStgMedium->tymed == TYMED_ISTREAM)
        m_spStream = pStgMedium->pstm;
    NoteReceived(dwSize);
    MeasureStream();
    AbortIfTooLarge();
    if (m_bBinding && m_spStream)
    {
        // The owner's reading may fail the download, which then completes
        // here: hold the stream across the call.
        fw::CComPtr<IStream> spStream = m_spStream;
        return fw::ComGuard([&] {
            OnDataArrived(spStream);
            return S_OK;
        });
    }
    return S_OK;
}

HRESULT CDownloader::OnBeginningTransaction(LPWSTR* pszAdditionalHeaders)
{
    if (m_requestHeaders.empty())
        return S_OK;
    std::wstring headers;
    if (!fw::AnsiToWide(m_requestHeaders.c_str(), headers))
        return E_OUTOFMEMORY;
    // The platform frees what it is given with the task allocator.
    const size_t cb = (headers.size() + 1) * sizeof(wchar_t);
    auto* pszCopy = static_cast<LPWSTR>(CoTaskMemAlloc(cb));
    if (pszCopy == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(pszCopy, headers.c_str(), cb);
    *pszAdditionalHeaders = pszCopy;
    return S_OK;
}

std::string CDownloader::ResponseHeader(const char* pszName) const
{
    std::string value;
    return FindHeader(m_responseHeaders.c_str(), pszName, value) ? value : std::string();
}

HRESULT CDownloader::OnBindResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders)
{
    m_dwHttpStatus = dwResponseCode;
    m_responseHeaders = szResponseHeaders != nullptr ? szResponseHeaders : L"";
    ReadReasonPhrase(szResponseHeaders, m_szHttpReason, sizeof(m_szHttpReason));
    ULONGLONG cbLength = 0;
    const bool bLengthKnown = FindContentLength(szResponseHeaders, cbLength);
    if (m_bBinding)
    {
        m_watch.OnResponse(GetTickCount(), bLengthKnown, cbLength);
        AbortIfTooLarge();
    }
    if (m_bBinding)
        return fw::ComGuard([&] {
            OnAnswered();
            return S_OK;
        });
    return S_OK;
}

void CDownloader::OnDownloadProgress(ULONG, ULONG, ULONG, const char*)
{
}

void CDownloader::OnWatchChanged(bool)
{
}

void CDownloader::NoteReceived(ULONGLONG cbTotal)
{
    if (m_bBinding)
        m_watch.OnReceived(GetTickCount(), cbTotal);
}

void CDownloader::AbortIfTooLarge()
{
    if (m_bBinding && m_watch.Check(GetTickCount()) == TransferWatch::Verdict::kTooLarge)
        AbortWith(E_DOWNLOAD_TOO_LARGE);
}

void CDownloader::AbortWith(HRESULT hrFailure)
{
    if (!m_bBinding || FAILED(m_hrLimit))
        return;
    m_hrLimit = hrFailure;
    Cancel();
}

void CDownloader::OnDataArrived(IStream*)
{
}

void CDownloader::OnAnswered()
{
}

void CDownloader::MeasureStream()
{
    STATSTG stat = {};
    if (m_spStream && SUCCEEDED(m_spStream->Stat(&stat, STATFLAG_NONAME)))
        NoteReceived(stat.cbSize.QuadPart);
}

void CDownloader::CheckLimits()
{
    if (!m_bBinding)
        return;
    MeasureStream();
    switch (m_watch.Check(GetTickCount()))
    {
    case TransferWatch::Verdict::kWithinBounds:
        break;
    case TransferWatch::Verdict::kTimedOut:
        AbortWith(E_DOWNLOAD_TIMEOUT);
        break;
    case TransferWatch::Verdict::kTooLarge:
        AbortWith(E_DOWNLOAD_TOO_LARGE);
        break;
    }
}

void CDownloader::Download(const char* pszUrl, bool bNoCache)
{
    m_bNoCache = bNoCache;
    m_dwHttpStatus = 0;
    m_szHttpReason[0] = '\0';
    m_responseHeaders.clear();
    m_hrLimit = S_OK;
    m_watch.Start(GetTickCount(), m_limits);

    HRESULT hr = E_INVALIDARG;
    fw::CComPtr<IMoniker> spMoniker;
    fw::CComPtr<IBindCtx> spBindCtx;
    fw::CComPtr<IStream> spStream;
    std::wstring url;
    if (fw::AnsiToWide(pszUrl, url))
        hr = CreateURLMoniker(nullptr, url.c_str(), &spMoniker);
    if (SUCCEEDED(hr))
        hr = AttachSink();
    if (SUCCEEDED(hr))
        hr = CreateAsyncBindCtx(0, static_cast<IBindStatusCallback*>(m_spSink.p), nullptr,
                                &spBindCtx);
    bool bBindStarted = false;
    if (SUCCEEDED(hr))
    {
        m_bBinding = true;
        bBindStarted = true;
        OnWatchChanged(true);
        hr = spMoniker->BindToStorage(spBindCtx, nullptr, IID_IStream,
                                      reinterpret_cast<void**>(&spStream));
    }
    if (FAILED(hr))
    {
        // A bind that the platform has already stopped has completed.
        const bool bCompleted = bBindStarted && !m_bBinding;
        if (!bCompleted)
        {
            DetachSink();
            if (bBindStarted)
                OnWatchChanged(false);
            m_bBinding = false;
            OnDownloadComplete(nullptr, hr, nullptr);
        }
        return;
    }
    if (!m_bBinding)
        return;
    m_spMoniker = spMoniker;
    m_spBindCtx = spBindCtx;
    if (spStream)
        m_spStream = spStream;
}

void CDownloader::Cancel()
{
    // Abort runs the completion before it returns, and the completion drops
    // the binding: hold it across the call.
    fw::CComPtr<IBinding> spBinding = m_spBinding;
    if (spBinding)
        spBinding->Abort();
}

void CDownloader::StopQuietly()
{
    // Nothing of the bind reaches this downloader any more, not even the
    // stop that Abort brings.
    DetachSink();
    if (!m_bBinding)
        return;
    m_bBinding = false;
    fw::CComPtr<IBinding> spBinding = m_spBinding;
    if (spBinding)
        spBinding->Abort();
}

void CDownloader::Abandon()
{
    if (!m_bBinding)
        return;
    OnWatchChanged(false);
    StopQuietly();
    m_spBinding.Release();
    m_spMoniker.Release();
    m_spBindCtx.Release();
    m_spStream.Release();
}
