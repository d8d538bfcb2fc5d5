#include "tests/setupext/installer_host.h"

#include <algorithm>

#include "tests/support/paths.h"

#if defined(__i386__)
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
#else
// x64 has one calling convention, in which the caller always removes the
// arguments: there is nothing to measure.
static int CallAndMeasureStack(const void* pfn, HWND hWndParent, int nStringSize,
                               char* pszVariables, setupext_test::StackEntry** ppTop,
                               int* pnResult)
{
    using EntryPoint = int(__cdecl*)(HWND, int, char*, setupext_test::StackEntry**);
    *pnResult = reinterpret_cast<EntryPoint>(const_cast<void*>(pfn))(hWndParent, nStringSize,
                                                                      pszVariables, ppTop);
    return 0;
}
#endif

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
    auto* pEntry = static_cast<StackEntry*>(GlobalAlloc(GPTR, sizeof(StackEntry) + m_nStringSize));
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
        if (cbEntry != sizeof(StackEntry) + m_nStringSize)
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
    return testsupport::BinDir() / (sizeof(void*) == 8 ? "amd64-unicode" : "x86-unicode") /
           "setupext.dll";
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

CImportPatch::CImportPatch(HMODULE hModule, const char* pszDll, const char* pszFunction,
                           const void* pfnReplacement)
{
    if (hModule == nullptr)
        return;
    const auto* pBase = reinterpret_cast<const BYTE*>(hModule);
    const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        pBase + reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return;
    for (auto* pImport =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(pBase + directory.VirtualAddress);
         pImport->Name != 0; ++pImport)
    {
        if (lstrcmpiA(reinterpret_cast<const char*>(pBase + pImport->Name), pszDll) != 0)
            continue;
        // The names stay in the lookup table; the loader has put the
        // addresses into the address table beside it.
        const auto* pNames =
            reinterpret_cast<const IMAGE_THUNK_DATA*>(pBase + pImport->OriginalFirstThunk);
        auto* pAddresses = reinterpret_cast<IMAGE_THUNK_DATA*>(
            const_cast<BYTE*>(pBase) + pImport->FirstThunk);
        for (; pNames->u1.AddressOfData != 0; ++pNames, ++pAddresses)
        {
            if (IMAGE_SNAP_BY_ORDINAL(pNames->u1.Ordinal))
                continue;
            const auto* pByName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(pBase + pNames->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<const char*>(pByName->Name), pszFunction) != 0)
                continue;
            m_pSlot = reinterpret_cast<void**>(&pAddresses->u1.Function);
            m_pfnOriginal = *m_pSlot;
            Write(m_pSlot, pfnReplacement);
            return;
        }
    }
}

CImportPatch::~CImportPatch()
{
    if (m_pSlot != nullptr)
        Write(m_pSlot, m_pfnOriginal);
}

void CImportPatch::Write(void** pSlot, const void* pfn)
{
    DWORD dwOld = 0;
    if (VirtualProtect(pSlot, sizeof(*pSlot), PAGE_READWRITE, &dwOld))
    {
        *pSlot = const_cast<void*>(pfn);
        VirtualProtect(pSlot, sizeof(*pSlot), dwOld, &dwOld);
    }
}

} // namespace setupext_test
