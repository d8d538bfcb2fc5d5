// Where the programs under test lie, and scratch folders for a test.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The folder of the running test program, beside update.exe and res.dll.
std::filesystem::path BinDir();
std::string UpdateExePath();

// A fresh, empty folder inside the build tree, removed with the object.
class ScopedTempDir
{
public:
    explicit ScopedTempDir(const std::string& name);
    ~ScopedTempDir();

    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string String() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

// Quotes a path for a command line.
std::string Quoted(const std::string& path);

// A file's bytes as they are; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

} // namespace testsupport
