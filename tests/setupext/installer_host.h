// The test's stand-in for the product's installer: it loads setupext.dll,
// keeps a string stack of its own in the installer's layout, and calls the
// entry points by name the way the installer calls them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace setupext_test {

// One entry of the installer's string stack: the address of the entry
// below, then the text in string size bytes.
struct StackEntry
{
    StackEntry* pNext;
    char szText[1];
};

class CInstallerStack
{
public:
    explicit CInstallerStack(int nStringSize = 1024);
    ~CInstallerStack();

    CInstallerStack(const CInstallerStack&) = delete;
    CInstallerStack& operator=(const CInstallerStack&) = delete;

    // As the installer pushes: a zero-filled block of string size + 8 bytes
    // and the text cut to string size - 1 characters.
    void Push(const std::string& text);

    int StringSize() const { return m_nStringSize; }
    StackEntry** Anchor() { return &m_pTop; }
    std::vector<std::string> Texts() const;   // top first

    // Remembers every entry as it is now, address and bytes.
    void Mark();

    // Since Mark: exactly cPopped entries went from the top, the entries
    // of pushed (top first) came on top in blocks of the installer's size,
    // and every other entry is where it was with the bytes it had.
    testing::AssertionResult ChangedBy(size_t cPopped,
                                       const std::vector<std::string>& pushed) const;
    testing::AssertionResult Unchanged() const { return ChangedBy(0, {}); }

private:
    struct MarkedEntry
    {
        const StackEntry* pEntry;
        std::string bytes;
    };

    std::string BytesOf(const StackEntry* pEntry) const;

    int m_nStringSize;
    StackEntry* m_pTop = nullptr;
    std::vector<MarkedEntry> m_marked;
};

// The two builds of the library: for installers of 8-bit text beside the
// test program, for installers of UTF-16 text in x86-unicode below it.
std::filesystem::path AnsiLibraryPath();
std::filesystem::path UnicodeLibraryPath();

// setupext.dll, loaded for one test and freed with it, so that every test
// starts with the library fresh.
class CSetupExtLibrary
{
public:
    explicit CSetupExtLibrary(const std::filesystem::path& path = AnsiLibraryPath());
    ~CSetupExtLibrary();

    CSetupExtLibrary(const CSetupExtLibrary&) = delete;
    CSetupExtLibrary& operator=(const CSetupExtLibrary&) = delete;

    HMODULE Module() const { return m_hModule; }

    // Finds the entry point with GetProcAddress and calls it with the four
    // arguments, cdecl. Fails the test when the entry point is missing or
    // does not leave its arguments for the caller to remove.
    int Call(const char* pszEntryPoint, HWND hWndParent, int nStringSize, StackEntry** ppTop);
    int Call(const char* pszEntryPoint, CInstallerStack& stack);

private:
    HMODULE m_hModule;
    char m_achVariables[1024 * 25] = {};
};

} // namespace setupext_test
