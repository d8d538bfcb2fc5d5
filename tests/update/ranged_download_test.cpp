// What the platform's URL monikers make of a request for the rest of a
// file: the Range and If-Range headers the downloader adds go out, and the
// answer's status, its headers and a body of only the bytes asked for come
// back, from the loopback server.
#include "update/download/downloader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/http_content.h"
#include "tests/support/windows.h"

namespace {

constexpr DWORD kWaitMs = 20000;

class CCollectingDownloader : public CDownloader
{
public:
    void OnDownloadComplete(IStream* pStream, HRESULT hResult, const char*) override
    {
        m_hResult = hResult;
        m_bDone = true;
        if (pStream == nullptr)
            return;
        const LARGE_INTEGER zero = {};
        pStream->Seek(zero, STREAM_SEEK_SET, nullptr);
        char block[4096];
        ULONG cbRead = 0;
        while (SUCCEEDED(pStream->Read(block, sizeof(block), &cbRead)) && cbRead != 0)
            m_body.append(block, cbRead);
    }

    bool m_bDone = false;
    HRESULT m_hResult = E_PENDING;
    std::string m_body;
};

struct RangedAnswer
{
    HRESULT hResult = E_PENDING;
    DWORD dwStatus = 0;
    std::string contentRange;
    std::string etag;
    std::string body;
};

RangedAnswer FetchWith(const std::string& headers)
{
    CCollectingDownloader downloader;
    downloader.SetRequestHeaders(headers);
    downloader.Download(testsupport::HttpUrl("/zsp/part.bin").c_str(), true);
    // The platform's calls come through this thread's messages.
    EXPECT_TRUE(testsupport::WaitUntil(
        [&]() {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            return downloader.m_bDone;
        },
        kWaitMs));
    RangedAnswer answer;
    answer.hResult = downloader.m_hResult;
    answer.dwStatus = downloader.HttpStatus();
    answer.contentRange = downloader.ResponseHeader("Content-Range");
    answer.etag = downloader.ResponseHeader("ETag");
    answer.body = downloader.m_body;
    return answer;
}

TEST(RangedDownload, TheRestOfAFileComesAsAskedAndAChangedFileComesWhole)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    std::string file(100000, '\0');
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>('a' + i % 26);
    testsupport::ServeFile("/zsp/part.bin", file);

    const RangedAnswer whole = FetchWith("");
    EXPECT_EQ(whole.hResult, S_OK);
    EXPECT_EQ(whole.dwStatus, 200u);
    ASSERT_FALSE(whole.etag.empty());
    EXPECT_EQ(whole.body, file);

    const RangedAnswer rest = FetchWith("Range: bytes=60000-\r\nIf-Range: " + whole.etag + "\r\n");
    EXPECT_EQ(rest.hResult, S_OK);
    EXPECT_EQ(rest.dwStatus, 206u);
    EXPECT_EQ(rest.contentRange, "bytes 60000-99999/100000");
    EXPECT_EQ(rest.body, file.substr(60000));

    file[0] = 'Z';
    testsupport::ServeFile("/zsp/part.bin", file);
    const RangedAnswer changed = FetchWith("Range: bytes=60000-\r\nIf-Range: " + whole.etag + "\r\n");
    EXPECT_EQ(changed.dwStatus, 200u);
    EXPECT_EQ(changed.body, file);
    testsupport::ClearHttpRoot();
    CoUninitialize();
}

} // namespace
