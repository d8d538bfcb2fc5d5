#include "tools/update_info/report.h"

#include <cstdio>

#include "framework/system_text.h"

namespace infotool {

void CReport::Error(const std::string& text)
{
    std::fprintf(stderr, "update-info: error: %s\n", text.c_str());
    ++m_nErrors;
}

void CReport::Warning(const std::string& text)
{
    std::fprintf(stderr, "update-info: warning: %s\n", text.c_str());
    ++m_nWarnings;
}

void CReport::Note(const std::string& text)
{
    std::fprintf(stderr, "update-info: %s\n", text.c_str());
}

int CReport::ExitCode() const
{
    if (m_nErrors > 0)
        return kExitError;
    return m_nWarnings > 0 ? kExitWarnings : kExitOk;
}

std::string Quote(const std::string& text)
{
    // A control character would act on the console, a NUL would end the
    // line: each shows as its code.
    std::string quoted = "\"";
    for (const char c : text)
    {
        const unsigned char uc = static_cast<unsigned char>(c);
        if (uc < 0x20 || uc == 0x7F)
        {
            char szCode[5];
            std::snprintf(szCode, sizeof(szCode), "\\x%02X", uc);
            quoted += szCode;
        }
        else
        {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string SystemMessage(DWORD dwError)
{
    std::string text = fw::SystemMessage(dwError);
    if (text.empty())
        return "system error " + std::to_string(dwError);
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

void WarnIfReadDifferently(const std::string& text, const VersionNumber& version,
                           CReport& report)
{
    if (text == version.Text())
        return;
    if (text + ".0" == version.Text())
        report.Warning("the version " + Quote(text) +
                       " has only three numbers: it will be read as " + version.Text());
    else
        report.Warning("the version " + Quote(text) + " will be read as " + version.Text());
}

} // namespace infotool
