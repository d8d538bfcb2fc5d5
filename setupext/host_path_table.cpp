#include "setupext/host_path_table.h"

#include <algorithm>
#include <string>

#include "framework/handles.h"

namespace setupext {

const TCHAR kHostKey[] = TEXT("Software\\Halvik\\Kestrix!");
const TCHAR kProductKey[] = TEXT("SOFTWARE\\Vexil ZSP");
const TCHAR kWorkDirValue[] = TEXT("Working Directory");
const TCHAR kWorkDirEntry[] = TEXT("%WDIR%");
const TCHAR kProductDirEntry[] = TEXT("%VZSPDIR%");

namespace {

struct HostValue
{
    const TCHAR* pszEntry;
    const TCHAR* pszValue;
    bool bDriveOnly;
};

const HostValue kHostValues[] = {
    {TEXT("%EXEDRIVE%"), TEXT("EXE Path"), true},
    {TEXT("%PROGRAMDIR%"), TEXT("ProgramDir"), false},
    {kWorkDirEntry, kWorkDirValue, false},
};

using Traits = std::char_traits<TCHAR>;

// Appends strings to the table and keeps the zero character that ends it.
class CTableWriter
{
public:
    explicit CTableWriter(TCHAR (&achTable)[kcchHostPathTable])
        : m_pNext(achTable), m_cchLeft(kcchHostPathTable)
    {
    }

    bool Append(const TCHAR* psz)
    {
        const size_t cch = Traits::length(psz) + 1;
        if (cch >= m_cchLeft)
            return false;
        Traits::copy(m_pNext, psz, cch);
        m_pNext += cch;
        m_cchLeft -= cch;
        return true;
    }

private:
    TCHAR* m_pNext;
    size_t m_cchLeft;
};

TCHAR ToAsciiLower(TCHAR ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<TCHAR>(ch - 'A' + 'a') : ch;
}

bool EqualIgnoringAsciiCase(const TCHAR* pszA, const TCHAR* pszB)
{
    for (; *pszA != '\0' && ToAsciiLower(*pszA) == ToAsciiLower(*pszB); ++pszA, ++pszB)
    {
    }
    return ToAsciiLower(*pszA) == ToAsciiLower(*pszB);
}

} // namespace

bool ReadExpandedValue(HKEY hKey, const TCHAR* pszName, TCHAR (&szExpanded)[kcchPath])
{
    // The buffer is zero-filled, so a value stored without its terminator
    // ends inside it. Such a value must still end within the read limit:
    // 261 characters without a terminator are 261 characters, too long
    // however they were stored.
    TCHAR szRaw[kcchValueRead] = {};
    DWORD cbRaw = sizeof(szRaw);
    if (RegQueryValueEx(hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(szRaw),
                        &cbRaw) != ERROR_SUCCESS)
        return false;
    if (szRaw[0] == '\0' || Traits::find(szRaw, kcchValueRead, '\0') == nullptr)
        return false;
    // An expansion cut short by the buffer would name some other folder.
    TCHAR szWork[kcchPath] = {};
    const DWORD cchNeeded = ExpandEnvironmentStrings(szRaw, szWork, kcchPath);
    if (cchNeeded == 0 || cchNeeded > static_cast<DWORD>(kcchPath))
        return false;
    Traits::copy(szExpanded, szWork, kcchPath);
    return true;
}

bool BuildHostPathTable(TCHAR (&achTable)[kcchHostPathTable])
{
    std::fill(std::begin(achTable), std::end(achTable), TCHAR());
    CTableWriter table(achTable);
    {
        fw::CRegKeyHandle hostKey;
        if (RegOpenKey(HKEY_CURRENT_USER, kHostKey, hostKey.Receive()) != ERROR_SUCCESS)
            return false;
        for (const HostValue& value : kHostValues)
        {
            TCHAR szExpanded[kcchPath];
            if (!ReadExpandedValue(hostKey.Get(), value.pszValue, szExpanded))
                return false;
            if (value.bDriveOnly)
                szExpanded[2] = '\0';
            if (!table.Append(value.pszEntry) || !table.Append(szExpanded))
                return false;
        }
    }

    fw::CRegKeyHandle productKey;
    if (RegOpenKey(HKEY_LOCAL_MACHINE, kProductKey, productKey.Receive()) != ERROR_SUCCESS)
        return true;
    TCHAR szProductDir[kcchPath];
    return ReadExpandedValue(productKey.Get(), nullptr, szProductDir) &&
           table.Append(kProductDirEntry) && table.Append(szProductDir);
}

const TCHAR* FindPathEntry(const TCHAR* pTable, const TCHAR* pszName)
{
    // Names and values alternate: only names are compared, and an empty
    // value does not end the walk.
    for (const TCHAR* pszEntry = pTable; *pszEntry != '\0';)
    {
        const TCHAR* pszValue = pszEntry + Traits::length(pszEntry) + 1;
        if (EqualIgnoringAsciiCase(pszEntry, pszName))
            return pszValue;
        pszEntry = pszValue + Traits::length(pszValue) + 1;
    }
    return nullptr;
}

bool LookUpHostPath(const TCHAR* pszName, TCHAR (&szValue)[kcchPath])
{
    TCHAR achTable[kcchHostPathTable];
    if (!BuildHostPathTable(achTable))
        return false;
    const TCHAR* pszValue = FindPathEntry(achTable, pszName);
    if (pszValue == nullptr)
        return false;
    lstrcpyn(szValue, pszValue, kcchPath);
    return true;
}

} // namespace setupext
