#include "update/info/version_number.h"

#include <cstdio>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One "%d" conversion: optional white space, optional sign, at least one
// digit. Out-of-range values wrap modulo 2^32 rather than being undefined.
bool ReadNumber(const char*& p, int32_t& nValue)
{
    while (IsSpace(*p))
        ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-')
    {
        bNegative = (*p == '-');
        ++p;
    }
    if (*p < '0' || *p > '9')
        return false;
    uint32_t uValue = 0;
    while (*p >= '0' && *p <= '9')
    {
        uValue = uValue * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (bNegative)
        uValue = 0u - uValue;
    nValue = static_cast<int32_t>(uValue);
    return true;
}

} // namespace

VersionNumber::VersionNumber()
    : nMajor(0), nMinor(0), nRelease(0), nBuild(0)
{
    Format();
}

VersionNumber::VersionNumber(const char* pszText)
    : nMajor(0), nMinor(0), nRelease(0), nBuild(0)
{
    if (!Parse(pszText))
    {
        nMajor = nMinor = nRelease = nBuild = 0;
        Format();
    }
}

VersionNumber::VersionNumber(const std::string& strText)
    : VersionNumber(strText.c_str())
{
}

bool VersionNumber::Parse(const char* pszText)
{
    if (pszText == nullptr)
        return false;

    int32_t* const fields[] = {&nMajor, &nMinor, &nRelease, &nBuild};
    const char* p = pszText;
    int nRead = 0;
    for (int32_t* pField : fields)
    {
        if (nRead > 0)
        {
            if (*p != '.')
                break;
            ++p;
        }
        if (!ReadNumber(p, *pField))
            break;
        ++nRead;
    }

    if (nRead < 3)
        return false;
    if (nRead == 3)
        nBuild = 0;
    Format();
    return true;
}

void VersionNumber::Format()
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%d.%d.%d.%d", static_cast<int>(nMajor),
                  static_cast<int>(nMinor), static_cast<int>(nRelease), static_cast<int>(nBuild));
    strText = szText;
}

bool VersionNumber::IsOlderThan(const VersionNumber& other) const
{
    const uint32_t mine[] = {static_cast<uint32_t>(nMajor), static_cast<uint32_t>(nMinor),
                             static_cast<uint32_t>(nRelease)};
    const uint32_t theirs[] = {static_cast<uint32_t>(other.nMajor),
                               static_cast<uint32_t>(other.nMinor),
                               static_cast<uint32_t>(other.nRelease)};
    for (int i = 0; i < 3; ++i)
    {
        if (mine[i] != theirs[i])
            return mine[i] < theirs[i];
    }
    return false;
}

bool VersionNumber::IsSameAs(const VersionNumber& other) const
{
    return nMajor == other.nMajor && nMinor == other.nMinor && nRelease == other.nRelease;
}

bool VersionNumber::IsNewerThan(const VersionNumber& other) const
{
    return !IsOlderThan(other) && !IsSameAs(other);
}
