// The object the platform calls back for a download lets go of its
// downloader when the download ends or the downloader goes, and nothing of it
// is left once the platform lets go. Nothing listens at port 1 of loopback:
// such a download ends on its own, but only once messages are pumped.
#include "update/download/downloader.h"

#include <winsock2.h>
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/com_ptr.h"

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr char kNobodyUrl[] = "http://127.0.0.1:1/zsp/update.txt";

// A port on loopback that takes connections and never answers: a download
// from it runs until it is cancelled. (A refused connection may end within
// the call that starts it, before there is anything to cancel.)
class CSilentListener
{
public:
    CSilentListener()
    {
        WSADATA data;
        m_bStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int cbAddress = sizeof(address);
        if (m_socket != INVALID_SOCKET &&
            bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            listen(m_socket, 4) == 0 &&
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &cbAddress) == 0)
            m_url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/update.txt";
    }
    ~CSilentListener()
    {
        if (m_socket != INVALID_SOCKET)
            closesocket(m_socket);
        if (m_bStarted)
            WSACleanup();
    }
    const std::string& Url() const { return m_url; }

private:
    bool m_bStarted = false;
    SOCKET m_socket = INVALID_SOCKET;
    std::string m_url;
};

bool PumpUntil(const std::function<bool()>& condition)
{
    const DWORD dwStart = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - dwStart >= kWaitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    return true;
}

ULONG RefCount(IUnknown* pUnknown)
{
    pUnknown->AddRef();
    return pUnknown->Release();
}

// Kept apart from the downloader, so that it can be read after it has gone.
struct Heard
{
    int nCompleted = 0;
    int nProgress = 0;
    int nData = 0;
    HRESULT hResult = S_OK;
};

class TestDownloader : public CDownloader
{
public:
    explicit TestDownloader(Heard& heard) : m_heard(heard) {}
    void OnDownloadComplete(IStream*, HRESULT hResult, const char*) override
    {
        ++m_heard.nCompleted;
        m_heard.hResult = hResult;
    }
    void OnDownloadProgress(ULONG, ULONG, ULONG, const char*) override { ++m_heard.nProgress; }

protected:
    void OnDataArrived(IStream*) override { ++m_heard.nData; }

private:
    Heard& m_heard;
};

class DownloaderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    // Starts a download and takes a reference of the test's own to its
    // callback.
    static fw::CComPtr<IBindStatusCallback> Start(CDownloader& downloader,
                                                  const char* pszUrl = kNobodyUrl)
    {
        downloader.Download(pszUrl, true);
        return fw::CComPtr<IBindStatusCallback>(downloader.Callback());
    }

    // Waits until the platform has let go of the callback, then drops the
    // test's reference: true when that was the last.
    static bool ReleaseLast(fw::CComPtr<IBindStatusCallback>& spCallback)
    {
        const bool bOnlyOurs = PumpUntil([&]() { return RefCount(spCallback) == 1; });
        return spCallback.Detach()->Release() == 0 && bOnlyOurs;
    }
};

TEST_F(DownloaderTest, ACompletedDownloadLeavesNoReferenceBehind)
{
    for (bool bCancel : {false, true})
    {
        SCOPED_TRACE(bCancel ? "cancelled" : "nobody there");
        const CSilentListener silent;
        ASSERT_FALSE(silent.Url().empty());
        Heard heard;
        TestDownloader downloader(heard);
        fw::CComPtr<IBindStatusCallback> spCallback =
            Start(downloader, bCancel ? silent.Url().c_str() : kNobodyUrl);
        ASSERT_TRUE(spCallback);
        if (bCancel)
            downloader.Cancel();
        EXPECT_TRUE(PumpUntil([&]() { return heard.nCompleted != 0; }));
        EXPECT_EQ(heard.nCompleted, 1);
        EXPECT_TRUE(bCancel ? heard.hResult == E_ABORT : FAILED(heard.hResult) && heard.hResult != E_ABORT)
            << std::hex << heard.hResult;
        EXPECT_EQ(downloader.Callback(), nullptr);
        EXPECT_TRUE(ReleaseLast(spCallback));
    }
}

TEST_F(DownloaderTest, ACallbackAfterTheDownloaderHasGoneDoesNothing)
{
    Heard heard;
    auto downloader = std::make_unique<TestDownloader>(heard);
    fw::CComPtr<IBindStatusCallback> spCallback = Start(*downloader);
    ASSERT_TRUE(spCallback);
    fw::CComPtr<IHttpNegotiate> spNegotiate;
    ASSERT_EQ(spCallback.QueryInterface(&spNegotiate), S_OK);
    // While the download runs, the platform's calls reach the downloader.
    EXPECT_EQ(spCallback->OnProgress(0, 0, BINDSTATUS_CONNECTING, L"127.0.0.1"), S_OK);
    EXPECT_EQ(heard.nProgress, 1);
    downloader.reset();

    fw::CComPtr<IStream> spStream;
    spStream.Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>("late"), 4));
    ASSERT_TRUE(spStream);
    const ULONG cStreamRefs = RefCount(spStream);
    STGMEDIUM medium = {};
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = spStream;
    FORMATETC format = {0, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    wchar_t szUntouched[] = L"untouched";
    LPWSTR pszMoreHeaders = szUntouched;
    const std::function<HRESULT()> calls[] = {
        [&]() { return spCallback->OnProgress(4, 100, BINDSTATUS_DOWNLOADINGDATA, L"late"); },
        [&]() { return spCallback->OnDataAvailable(BSCF_FIRSTDATANOTIFICATION, 4, &format, &medium); },
        [&]() {
            return spNegotiate->OnResponse(200, L"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n",
                                           nullptr, &pszMoreHeaders);
        },
        [&]() { return spCallback->OnStopBinding(S_OK, nullptr); },
    };
    for (const auto& call : calls)
        EXPECT_EQ(call(), S_OK);
    EXPECT_EQ(pszMoreHeaders, nullptr);
    // A bind that nobody would hear of is not let start.
    EXPECT_TRUE(FAILED(spCallback->OnStartBinding(0, nullptr)));
    EXPECT_EQ(RefCount(spStream), cStreamRefs);
    spNegotiate.Release();
    // Neither these calls nor the platform's own late ones reached anything.
    EXPECT_TRUE(ReleaseLast(spCallback));
    EXPECT_EQ(heard.nCompleted, 0);
    EXPECT_EQ(heard.nProgress, 1);
    EXPECT_EQ(heard.nData, 0);
}

} // namespace
