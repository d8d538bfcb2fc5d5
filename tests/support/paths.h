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

// A symbolic link made from the Unix side, the one kind of link that Wine 8
// makes (its CreateSymbolicLink does nothing, and it makes no junctions).
// Wine shows one to a folder as a reparse point, yet follows it even when
// asked to open it as itself. Removed from the Unix side with the object.
class ScopedUnixLink
{
public:
    ScopedUnixLink(const std::filesystem::path& target, const std::filesystem::path& link);
    ~ScopedUnixLink();

    ScopedUnixLink(const ScopedUnixLink&) = delete;
    ScopedUnixLink& operator=(const ScopedUnixLink&) = delete;

    // False on Windows, and where no link appeared in time.
    bool Made() const { return m_bMade; }

private:
    std::filesystem::path m_link;
    bool m_bMade;
};

// Quotes a path for a command line.
std::string Quoted(const std::string& path);

// A file's bytes as they are; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

} // namespace testsupport
