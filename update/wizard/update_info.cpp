#include "update/wizard/update_info.h"

#include <cctype>
#include <locale>
#include <sstream>

bool ReadUpdateInfo(std::istream& in, UpdateInfo& info)
{
    UpdateInfo read;
    // Once one extraction has failed the later ones do nothing.
    in >> read.versionText >> read.installerSize >> read.releaseNotesUrl >> read.installerUrl;
    if (in.fail())
        return false;
    info = read;
    return true;
}

bool ReadUpdateInfo(const char* pData, size_t cbData, UpdateInfo& info)
{
    if (pData == nullptr && cbData != 0)
        return false;
    std::istringstream in(std::string(pData != nullptr ? pData : "", cbData));
    in.imbue(std::locale::classic());
    return ReadUpdateInfo(in, info);
}

namespace {

bool StartsWithNoCase(const std::string& text, const char* pszPrefix)
{
    for (size_t i = 0; pszPrefix[i] != '\0'; ++i)
    {
        if (i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(pszPrefix[i]))
            return false;
    }
    return true;
}

} // namespace

bool IsReleaseNotesAddress(const std::string& url)
{
    return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

std::string InstallerFileName(const VersionNumber& version)
{
    return "vxzsp-" + version.Text() + ".exe";
}
