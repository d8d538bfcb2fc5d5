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

// One entry of the installer's string stack, as the installer declares it:
// the address of the entry below, then the text in string size bytes.
struct StackEntry
{
    StackEntry* pNext;
    char szText[1];
};

// Where the installer's two targets put the text, and how much more than
// the text they allocate for an entry (the size of the declaration).
struct InstallerStackLayout
{
    const char* pszTarget;
    size_t cbPointer;
    size_t ofsText;
    size_t cbHeader;
};
inline constexpr InstallerStackLayout kInstallerStackLayouts[] = {
    {"x86", 4, 4, 8},
    {"amd64", 8, 8, 16},
};

class CInstallerStack
{
public:
    explicit CInstallerStack(int nStringSize = 1024);
    ~CInstallerStack();

    CInstallerStack(const CInstallerStack&) = delete;
    CInstallerStack& operator=(const CInstallerStack&) = delete;

    // As the installer pushes: a zero-filled block of the entry's declared
    // size plus string size bytes, and the text cut to string size - 1
    // characters.
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
// test program, for installers of UTF-16 text in x86-unicode (amd64-unicode
// in the 64-bit build) below it.
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

// While it lives, the library's calls of one function that it imports from
// a Windows DLL go to pfnReplacement instead: a failure the tests cannot
// otherwise bring about on every architecture.
class CImportPatch
{
public:
    CImportPatch(HMODULE hModule, const char* pszDll, const char* pszFunction,
                 const void* pfnReplacement);
    ~CImportPatch();

    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    bool IsApplied() const { return m_pSlot != nullptr; }

private:
    static void Write(void** pSlot, const void* pfn);

    void** m_pSlot = nullptr;
    const void* m_pfnOriginal = nullptr;
};

} // namespace setupext_test
