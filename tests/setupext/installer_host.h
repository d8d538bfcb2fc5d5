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
// below, then the text in string size characters. An installer that passes
// 8-bit text and one that passes UTF-16 differ only in the character.
template <typename TChar>
struct StackEntryT
{
    StackEntryT* pNext;
    TChar szText[1];
};
using StackEntry = StackEntryT<char>;

template <typename TChar>
class CInstallerStackT
{
public:
    using String = std::basic_string<TChar>;

    explicit CInstallerStackT(int nStringSize = 1024);
    ~CInstallerStackT();

    CInstallerStackT(const CInstallerStackT&) = delete;
    CInstallerStackT& operator=(const CInstallerStackT&) = delete;

    // As the installer pushes: a zero-filled block of string size
    // characters + 8 bytes and the text cut to string size - 1 characters.
    void Push(const String& text);

    int StringSize() const { return m_nStringSize; }
    StackEntryT<TChar>** Anchor() { return &m_pTop; }
    std::vector<String> Texts() const;   // top first

    // Remembers every entry as it is now, address and bytes.
    void Mark();

    // Since Mark: exactly cPopped entries went from the top, the entries
    // of pushed (top first) came on top in blocks of the installer's size,
    // and every other entry is where it was with the bytes it had.
    testing::AssertionResult ChangedBy(size_t cPopped, const std::vector<String>& pushed) const;
    testing::AssertionResult Unchanged() const { return ChangedBy(0, {}); }

private:
    struct MarkedEntry
    {
        const StackEntryT<TChar>* pEntry;
        String bytes;
    };

    String BytesOf(const StackEntryT<TChar>* pEntry) const;

    int m_nStringSize;
    StackEntryT<TChar>* m_pTop = nullptr;
    std::vector<MarkedEntry> m_marked;
};
using CInstallerStack = CInstallerStackT<char>;
using CWideInstallerStack = CInstallerStackT<wchar_t>;

// The two builds of the library, as the installers find them.
std::filesystem::path AnsiLibraryPath();      // beside the test program
std::filesystem::path UnicodeLibraryPath();   // in x86-unicode below it

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
    int Call(const char* pszEntryPoint, HWND hWndParent, int nStringSize, void* ppTop);
    template <typename TChar>
    int Call(const char* pszEntryPoint, CInstallerStackT<TChar>& stack)
    {
        return Call(pszEntryPoint, nullptr, stack.StringSize(), stack.Anchor());
    }

private:
    HMODULE m_hModule;
    char m_achVariables[1024 * 25] = {};
};

} // namespace setupext_test
