#include "tests/setupext/installer_host.h"

#include <algorithm>

#include "tests/support/paths.h"

// Calls pfn with four arguments the way a cdecl caller does, stores its
// result, and returns how far the callee moved the stack pointer: 0 when it
// left its arguments to the caller, 16 when it removed them itself.
extern "C" int __cdecl CallAndMeasureStack(const void* pfn, HWND hWndParent, int nStringSize,
                                           char* pszVariables,
                                           setupext_test::StackEntry** ppTop, int* pnResult);
asm(R"(
    .text
    .globl _CallAndMeasureStack
_CallAndMeasureStack:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    movl %esp, %esi
    pushl 24(%ebp)
    pushl 20(%ebp)
    pushl 16(%ebp)
    pushl 12(%ebp)
    call *8(%ebp)
    movl 28(%ebp), %ecx
    movl %eax, (%ecx)
    leal 16(%esp), %eax
    subl %esi, %eax
    movl %esi, %esp
    popl %esi
    popl %ebp
    ret
)");

namespace setupext_test {

CInstallerStack::CInstallerStack(int nStringSize) : m_nStringSize(nStringSize) {}

CInstallerStack::~CInstallerStack()
{
    while (m_pTop != nullptr)
    {
        StackEntry* pNext = m_pTop->pNext;
        GlobalFree(m_pTop);
        m_pTop = pNext;
    }
}

void CInstallerStack::Push(const std::string& text)
{
    auto* pEntry = static_cast<StackEntry*>(GlobalAlloc(GPTR, m_nStringSize + 8));
    ASSERT_NE(pEntry, nullptr);
    lstrcpynA(pEntry->szText, text.c_str(), m_nStringSize);
    pEntry->pNext = m_pTop;
    m_pTop = pEntry;
}

std::vector<std::string> CInstallerStack::Texts() const
{
    std::vector<std::string> texts;
    for (const StackEntry* pEntry = m_pTop; pEntry != nullptr; pEntry = pEntry->pNext)
        texts.emplace_back(pEntry->szText, strnlen(pEntry->szText, m_nStringSize));
    return texts;
}

std::string CInstallerStack::BytesOf(const StackEntry* pEntry) const
{
    return std::string(pEntry->szText, std::max(m_nStringSize, 1));
}

void CInstallerStack::Mark()
{
    m_marked.clear();
    for (const StackEntry* pEntry = m_pTop; pEntry != nullptr; pEntry = pEntry->pNext)
        m_marked.push_back({pEntry, BytesOf(pEntry)});
}

testing::AssertionResult CInstallerStack::ChangedBy(size_t cPopped,
                                                    const std::vector<std::string>& pushed) const
{
    if (cPopped > m_marked.size())
        return testing::AssertionFailure() << "only " << m_marked.size() << " entries to pop";

    const StackEntry* pEntry = m_pTop;
    for (size_t i = 0; i < pushed.size(); ++i, pEntry = pEntry->pNext)
    {
        if (pEntry == nullptr)
            return testing::AssertionFailure() << "pushed " << i << " entries, expected "
                                               << pushed.size();
        const SIZE_T cbEntry = GlobalSize(const_cast<StackEntry*>(pEntry));
        if (cbEntry != static_cast<SIZE_T>(m_nStringSize) + 8)
            return testing::AssertionFailure() << "pushed entry " << i << " is a block of "
                                               << cbEntry << " bytes";
        const std::string text(pEntry->szText, strnlen(pEntry->szText, m_nStringSize));
        if (text != pushed[i])
            return testing::AssertionFailure() << "pushed entry " << i << " is \"" << text
                                               << "\", expected \"" << pushed[i] << "\"";
    }
    for (size_t i = cPopped; i < m_marked.size(); ++i, pEntry = pEntry->pNext)
    {
        if (pEntry != m_marked[i].pEntry)
            return testing::AssertionFailure() << "entry " << i << " of the stack before the "
                                               << "call is not where it was";
        if (BytesOf(pEntry) != m_marked[i].bytes)
            return testing::AssertionFailure() << "entry " << i << " changed its text";
    }
    if (pEntry != nullptr)
        return testing::AssertionFailure() << "more entries on the stack than expected";
    return testing::AssertionSuccess();
}

std::filesystem::path AnsiLibraryPath()
{
    return testsupport::BinDir() / "setupext.dll";
}

std::filesystem::path UnicodeLibraryPath()
{
    return testsupport::BinDir() / "x86-unicode" / "setupext.dll";
}

CSetupExtLibrary::CSetupExtLibrary(const std::filesystem::path& path)
    : m_hModule(LoadLibraryW(path.c_str()))
{
}

CSetupExtLibrary::~CSetupExtLibrary()
{
    if (m_hModule != nullptr)
        FreeLibrary(m_hModule);
}

int CSetupExtLibrary::Call(const char* pszEntryPoint, HWND hWndParent, int nStringSize,
                           StackEntry** ppTop)
{
    int nResult = -1;
    if (m_hModule == nullptr)
    {
        ADD_FAILURE() << "setupext.dll is not loaded";
        return nResult;
    }
    const auto pfn = reinterpret_cast<const void*>(GetProcAddress(m_hModule, pszEntryPoint));
    if (pfn == nullptr)
    {
        ADD_FAILURE() << "setupext.dll has no entry point " << pszEntryPoint;
        return nResult;
    }
    const int nMoved =
        CallAndMeasureStack(pfn, hWndParent, nStringSize, m_achVariables, ppTop, &nResult);
    EXPECT_EQ(nMoved, 0) << pszEntryPoint << " removed its own arguments";
    return nResult;
}

int CSetupExtLibrary::Call(const char* pszEntryPoint, CInstallerStack& stack)
{
    return Call(pszEntryPoint, nullptr, stack.StringSize(), stack.Anchor());
}

} // namespace setupext_test
