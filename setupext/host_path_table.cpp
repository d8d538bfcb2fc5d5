#include "setupext/host_path_table.h"

#include <cstring>

#include "framework/handles.h"

namespace setupext {

const char kHostKey[] = "Software\\Halvik\\Kestrix!";
const char kProductKey[] = "SOFTWARE\\Vexil ZSP";
const char kWorkDirValue[] = "Working Directory";
const char kWorkDirEntry[] = "%WDIR%";
const char kProductDirEntry[] = "%VZSPDIR%";

namespace {

struct HostValue
{
    const char* pszEntry;
    const char* pszValue;
    bool bDriveOnly;
};

const HostValue kHostValues[] = {
    {"%EXEDRIVE%", "EXE Path", true},
    {"%PROGRAMDIR%", "ProgramDir", false},
    {kWorkDirEntry, kWorkDirValue, false},
};

// Appends strings to the table and keeps the zero byte that ends it.
class CTableWriter
{
public:
    explicit CTableWriter(char (&achTable)[kcbHostPathTable])
        : m_pNext(achTable), m_cbLeft(sizeof(achTable))
    {
    }

    bool Append(const char* psz)
    {
        const size_t cb = std::strlen(psz) + 1;
        if (cb >= m_cbLeft)
            return false;
        std::memcpy(m_pNext, psz, cb);
        m_pNext += cb;
        m_cbLeft -= cb;
        return true;
    }

private:
    char* m_pNext;
    size_t m_cbLeft;
};

char ToAsciiLower(char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

bool EqualIgnoringAsciiCase(const char* pszA, const char* pszB)
{
    for (; *pszA != '\0' && ToAsciiLower(*pszA) == ToAsciiLower(*pszB); ++pszA, ++pszB)
    {
    }
    return ToAsciiLower(*pszA) == ToAsciiLower(*pszB);
}

} // namespace

bool ReadExpandedValue(HKEY hKey, const char* pszName, char (&szExpanded)[kcchPath])
{
    // The byte past the read limit stays zero, so that a value stored
    // without its terminator still ends inside the buffer.
    char szRaw[kcbValueRead + 1] = {};
    DWORD cbRaw = kcbValueRead;
    if (RegQueryValueExA(hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(szRaw),
                         &cbRaw) != ERROR_SUCCESS)
        return false;
    if (szRaw[0] == '\0')
        return false;
    // An expansion cut short by the buffer would name some other folder.
    char szWork[kcchPath] = {};
    const DWORD cchNeeded = ExpandEnvironmentStringsA(szRaw, szWork, kcchPath);
    if (cchNeeded == 0 || cchNeeded > static_cast<DWORD>(kcchPath))
        return false;
    std::memcpy(szExpanded, szWork, sizeof(szExpanded));
    return true;
}

bool BuildHostPathTable(char (&achTable)[kcbHostPathTable])
{
    std::memset(achTable, 0, sizeof(achTable));
    CTableWriter table(achTable);
    {
        fw::CRegKeyHandle hostKey;
        if (RegOpenKeyA(HKEY_CURRENT_USER, kHostKey, hostKey.Receive()) != ERROR_SUCCESS)
            return false;
        for (const HostValue& value : kHostValues)
        {
            char szExpanded[kcchPath];
            if (!ReadExpandedValue(hostKey.Get(), value.pszValue, szExpanded))
                return false;
            if (value.bDriveOnly)
                szExpanded[2] = '\0';
            if (!table.Append(value.pszEntry) || !table.Append(szExpanded))
                return false;
        }
    }

    fw::CRegKeyHandle productKey;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kProductKey, productKey.Receive()) != ERROR_SUCCESS)
        return true;
    char szProductDir[kcchPath];
    return ReadExpandedValue(productKey.Get(), nullptr, szProductDir) &&
           table.Append(kProductDirEntry) && table.Append(szProductDir);
}

const char* FindPathEntry(const char* pTable, const char* pszName)
{
    // Names and values alternate: only names are compared, and an empty
    // value does not end the walk.
    for (const char* pszEntry = pTable; *pszEntry != '\0';)
    {
        const char* pszValue = pszEntry + std::strlen(pszEntry) + 1;
        if (EqualIgnoringAsciiCase(pszEntry, pszName))
            return pszValue;
        pszEntry = pszValue + std::strlen(pszValue) + 1;
    }
    return nullptr;
}

bool LookUpHostPath(const char* pszName, char (&szValue)[kcchPath])
{
    char achTable[kcbHostPathTable];
    if (!BuildHostPathTable(achTable))
        return false;
    const char* pszValue = FindPathEntry(achTable, pszName);
    if (pszValue == nullptr)
        return false;
    lstrcpynA(szValue, pszValue, kcchPath);
    return true;
}

} // namespace setupext
