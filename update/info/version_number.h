// Product version: four numbers and their text "a.b.c.d".
//
// Plain portable C++ without Windows headers: version texts arrive from the
// network, and this type also builds natively for fuzzing.
#pragma once

#include <cstdint>
#include <string>

class VersionNumber
{
public:
    VersionNumber();
    // Text that does not parse yields 0.0.0.0.
    explicit VersionNumber(const char* pszText);
    explicit VersionNumber(const std::string& strText);

    // Reads "%d.%d.%d.%d"; three numbers suffice (the fourth is then 0) and
    // anything after the fourth is ignored. On failure the numbers read so
    // far keep their new values and the text is left as it was.
    bool Parse(const char* pszText);
    bool Parse(const std::string& strText) { return Parse(strText.c_str()); }
    void Format();

    // Only the first three numbers count, as unsigned values.
    bool IsOlderThan(const VersionNumber& other) const;
    bool IsSameAs(const VersionNumber& other) const;
    bool IsNewerThan(const VersionNumber& other) const;

    const std::string& Text() const { return strText; }

    int32_t nMajor;
    int32_t nMinor;
    int32_t nRelease;
    int32_t nBuild;
    std::string strText;
};
