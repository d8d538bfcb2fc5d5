#include "update/wizard/update_info.h"

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
