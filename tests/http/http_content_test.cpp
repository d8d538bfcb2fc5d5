// The Windows side reaches the loopback test server: what ServeFile writes
// comes back through WinINet inside Wine, faults included.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/support/http_content.h"
#include "tests/support/windows.h"

namespace {

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

    const auto response = testsupport::Fetch(testsupport::HttpUrl("/zsp/setup.exe"));
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
    auto response = testsupport::Fetch(testsupport::HttpUrl("/zsp/update.txt"));
    EXPECT_EQ(response.dwStatus, 404u);
    EXPECT_EQ(response.body, "not here");

    testsupport::ServeFile("/zsp/update.txt", "here now");
    response = testsupport::Fetch(testsupport::HttpUrl("/zsp/update.txt"));
    EXPECT_EQ(response.dwStatus, 200u);
    EXPECT_EQ(response.body, "here now");
}

TEST_F(HttpContentTest, BytesSentAddsUpACutAnswerAndAWholeOne)
{
    const std::string bytes(5000, 'b');
    testsupport::ServeFile("/zsp/setup.exe", bytes, "cut 1200");
    EXPECT_LT(testsupport::Fetch(testsupport::HttpUrl("/zsp/setup.exe")).body.size(), bytes.size());
    EXPECT_EQ(testsupport::Fetch(testsupport::HttpUrl("/zsp/setup.exe")).body, bytes);
    testsupport::ServeFile("/zsp/setup.exe.txt", "other");
    testsupport::Fetch(testsupport::HttpUrl("/zsp/setup.exe.txt"));
    EXPECT_TRUE(testsupport::WaitUntil(
        []() { return testsupport::HttpResponses().size() == 3; }, 10000));
    EXPECT_EQ(testsupport::BytesSent("/zsp/setup.exe"), 1200u + bytes.size());
}

TEST_F(HttpContentTest, ClearingTheRootRemovesFilesAndTheLog)
{
    testsupport::ServeFile("/zsp/update.txt", "x", "delay 10");
    testsupport::Fetch(testsupport::HttpUrl("/zsp/update.txt"));
    testsupport::ClearHttpRoot();
    EXPECT_TRUE(testsupport::HttpRequests().empty());
    EXPECT_TRUE(std::filesystem::is_empty(testsupport::HttpRoot()));

    EXPECT_EQ(testsupport::Fetch(testsupport::HttpUrl("/zsp/update.txt")).dwStatus, 404u);
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
