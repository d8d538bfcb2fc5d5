// The Windows side reaches the loopback test server: what ServeFile writes
// comes back through WinINet inside Wine, faults included.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "tests/support/http_content.h"

namespace {

struct InternetCloser
{
    void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

struct Response
{
    DWORD dwStatus = 0;
    std::string body;
};

// Fetches a URL as the updater does: straight from the network, bypassing
// and not filling the cache.
Response Fetch(const std::string& url)
{
    InternetHandle session(InternetOpenA("zsp-http-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session)
        throw std::runtime_error("InternetOpenA failed: " + std::to_string(GetLastError()));
    InternetHandle request(InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        throw std::runtime_error("InternetOpenUrlA " + url + " failed: " + std::to_string(GetLastError()));

    Response response;
    DWORD dwSize = sizeof(response.dwStatus);
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &response.dwStatus,
                        &dwSize, nullptr))
        throw std::runtime_error("HttpQueryInfoA failed: " + std::to_string(GetLastError()));
    char buffer[4096];
    DWORD dwRead = 0;
    while (InternetReadFile(request.get(), buffer, sizeof(buffer), &dwRead) && dwRead > 0)
        response.body.append(buffer, dwRead);
    return response;
}

class HttpContentTest : public ::testing::Test
{
protected:
    void SetUp() override { testsupport::ClearHttpRoot(); }
    void TearDown() override { testsupport::ClearHttpRoot(); }
};

TEST_F(HttpContentTest, ServedBytesReachWineUnchangedAndTheRequestIsLogged)
{
    std::string bytes("MZ\0\x01\xff\r\n\n\x1a", 9);
    for (int i = 0; i < 20000; ++i)
        bytes += static_cast<char>(i * 7);
    testsupport::ServeFile("/zsp/setup.exe", bytes);

    const Response response = Fetch(testsupport::HttpUrl("/zsp/setup.exe"));
    EXPECT_EQ(response.dwStatus, 200u);
    EXPECT_TRUE(response.body == bytes) << "received " << response.body.size() << " of " << bytes.size()
                                        << " bytes, or different ones";

    const auto requests = testsupport::HttpRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find("\"method\": \"GET\""), std::string::npos) << requests[0];
    EXPECT_NE(requests[0].find("\"path\": \"/zsp/setup.exe\""), std::string::npos) << requests[0];
}

TEST_F(HttpContentTest, FaultsApplyAndChangeBetweenRequests)
{
    testsupport::ServeFile("/zsp/update.txt", "not here", "status 404");
    Response response = Fetch(testsupport::HttpUrl("/zsp/update.txt"));
    EXPECT_EQ(response.dwStatus, 404u);
    EXPECT_EQ(response.body, "not here");

    testsupport::ServeFile("/zsp/update.txt", "here now");
    response = Fetch(testsupport::HttpUrl("/zsp/update.txt"));
    EXPECT_EQ(response.dwStatus, 200u);
    EXPECT_EQ(response.body, "here now");
}

TEST_F(HttpContentTest, ClearingTheRootRemovesFilesAndTheLog)
{
    testsupport::ServeFile("/zsp/update.txt", "x", "delay 10");
    Fetch(testsupport::HttpUrl("/zsp/update.txt"));
    testsupport::ClearHttpRoot();
    EXPECT_TRUE(testsupport::HttpRequests().empty());
    EXPECT_TRUE(std::filesystem::is_empty(testsupport::HttpRoot()));

    EXPECT_EQ(Fetch(testsupport::HttpUrl("/zsp/update.txt")).dwStatus, 404u);
    EXPECT_EQ(testsupport::HttpRequests().size(), 1u);
}

TEST_F(HttpContentTest, PathsOutsideTheRootAreRefused)
{
    EXPECT_THROW(testsupport::ServeFile("/../escape.txt", "x"), std::invalid_argument);
    EXPECT_THROW(testsupport::ServeFile("/zsp/../../escape.txt", "x"), std::invalid_argument);
    EXPECT_THROW(testsupport::ServeFile("zsp/update.txt", "x"), std::invalid_argument);
    EXPECT_FALSE(std::filesystem::exists(testsupport::HttpRoot().parent_path() / "escape.txt"));
}

} // namespace
