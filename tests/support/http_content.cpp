#include "tests/support/http_content.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "tests/support/paths.h"

namespace testsupport {

namespace {

std::filesystem::path ServedPath(const std::string& urlPath)
{
    if (urlPath.empty() || urlPath.front() != '/')
        throw std::invalid_argument("URL path must start with '/': " + urlPath);
    const std::filesystem::path rel = std::filesystem::path(urlPath.substr(1)).lexically_normal();
    if (rel.empty() || rel.has_root_path() || *rel.begin() == "..")
        throw std::invalid_argument("URL path leaves the server's root: " + urlPath);
    return HttpRoot() / rel;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    // Binary, so that an installer's bytes reach the server unchanged.
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

struct InternetCloser
{
    void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

} // namespace

HttpResponse Fetch(const std::string& url)
{
    InternetHandle session(
        InternetOpenA("zsp-http-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session)
        throw std::runtime_error("InternetOpenA failed: " + std::to_string(GetLastError()));
    InternetHandle request(InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE,
                                            0));
    if (!request)
        throw std::runtime_error("InternetOpenUrlA " + url +
                                 " failed: " + std::to_string(GetLastError()));

    HttpResponse response;
    DWORD dwStatus = 0;
    DWORD dwSize = sizeof(dwStatus);
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                        &dwStatus, &dwSize, nullptr))
        throw std::runtime_error("HttpQueryInfoA failed: " + std::to_string(GetLastError()));
    response.dwStatus = dwStatus;
    char buffer[4096];
    DWORD dwRead = 0;
    while (InternetReadFile(request.get(), buffer, sizeof(buffer), &dwRead) && dwRead > 0)
        response.body.append(buffer, dwRead);
    return response;
}

std::filesystem::path HttpRoot()
{
    return BinDir().parent_path() / "test-http" / "root";
}

void ServeFile(const std::string& urlPath, const std::string& bytes, const std::string& fault)
{
    const std::filesystem::path path = ServedPath(urlPath);
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::path sidecar = path;
    sidecar += ".fault";
    // The sidecar comes first, so that the file is never served without it.
    if (fault.empty())
        std::filesystem::remove(sidecar);
    else
        WriteFile(sidecar, fault + "\n");
    WriteFile(path, bytes);
}

void ClearHttpRoot()
{
    const std::filesystem::path root = HttpRoot();
    // A new generation first: what the server would still log of an earlier
    // test's requests after this is dropped, not found by the next test.
    static unsigned s_nClears = 0;
    std::ofstream(root.parent_path() / "generation", std::ios::binary | std::ios::trunc)
        << GetCurrentProcessId() << '.' << GetTickCount64() << '.' << ++s_nClears;
    std::filesystem::create_directories(root);
    for (const auto& entry : std::filesystem::directory_iterator(root))
        std::filesystem::remove_all(entry.path());
}

namespace {

std::vector<std::string> LogLines(const char* pszName)
{
    std::vector<std::string> lines;
    std::ifstream in(HttpRoot() / pszName, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

} // namespace

std::vector<std::string> HttpRequests()
{
    return LogLines("requests.log");
}

std::vector<std::string> HttpResponses()
{
    return LogLines("responses.log");
}

unsigned long long BytesSent(const std::string& urlPath)
{
    const std::string key = "\"path\": \"" + urlPath;
    unsigned long long total = 0;
    for (const std::string& line : HttpResponses())
    {
        const size_t pos = line.find(key);
        const size_t end = pos + key.size();
        if (pos != std::string::npos && end < line.size() && (line[end] == '"' || line[end] == '?'))
            total += JsonNumber(line, "sent");
    }
    return total;
}

unsigned long long JsonNumber(const std::string& line, const char* pszField)
{
    const std::string key = std::string("\"") + pszField + "\": ";
    const size_t pos = line.find(key);
    return pos == std::string::npos ? 0 : std::strtoull(line.c_str() + pos + key.size(), nullptr, 10);
}

bool JsonTrue(const std::string& line, const char* pszField)
{
    return line.find(std::string("\"") + pszField + "\": true") != std::string::npos;
}

std::string HttpUrl(const std::string& urlPath)
{
    return std::string(ZSP_TEST_HTTP_BASE) + (urlPath.empty() || urlPath.front() != '/' ? "/" : "") +
           urlPath;
}

} // namespace testsupport
