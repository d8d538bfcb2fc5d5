#include "tests/support/paths.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace testsupport {

std::filesystem::path BinDir()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    return std::filesystem::path(szPath).parent_path();
}

std::string UpdateExePath()
{
    return (BinDir() / "update.exe").string();
}

ScopedTempDir::ScopedTempDir(const std::string& name)
{
    static int s_nCounter = 0;
    m_path = BinDir().parent_path() / "test-tmp" /
             (name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++s_nCounter));
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    std::filesystem::create_directories(m_path, ec);
}

ScopedTempDir::~ScopedTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace testsupport
