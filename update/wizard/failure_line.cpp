#include "update/wizard/failure_line.h"

#include "framework/system_text.h"
#include "update/resource_ids.h"
#include "update/result_codes.h"
#include "update/update_globals.h"
#include "update/wizard/progress_figures.h"
#include "update/wizard/resource_text.h"
#include "update/info/update_info.h"

namespace {

// What both downloads share: the server's own answers and silences.
bool ServerFailureLine(HRESULT hResult, const CDownloader& download, std::string& line)
{
    if (hResult == E_DOWNLOAD_TIMEOUT)
        line = FormatResourceString(IDS_FAIL_STALLED);
    else if (hResult == E_DOWNLOAD_HTTP_STATUS)
        line = FormatResourceString(IDS_FAIL_HTTP_STATUS, static_cast<unsigned>(download.HttpStatus()),
                                    download.HttpReason());
    else
        return false;
    return true;
}

} // namespace

std::string CheckFailureLine(HRESULT hResult, const CDownloader& download)
{
    std::string line;
    if (ServerFailureLine(hResult, download, line))
        return line;
    if (hResult == E_DOWNLOAD_CUT_SHORT)
        return FormatResourceString(IDS_FAIL_STALLED);
    // Far more than update information is not update information at all.
    if (hResult == E_DOWNLOAD_TOO_LARGE || hResult == E_UPDATE_INFO_UNREADABLE)
        return FormatResourceString(IDS_FAIL_INFO_UNREADABLE);
    if (hResult == E_UPDATE_INFO_UNTRUSTED)
        return FormatResourceString(IDS_FAIL_SIGNATURE);
    if (hResult == E_UPDATE_INFO_NOT_WEB_ADDRESS)
        return FormatResourceString(IDS_FAIL_NOT_WEB_ADDRESS);
    if (hResult == E_UPDATE_INFO_INSECURE_ADDRESS)
        return FormatResourceString(IDS_FAIL_INSECURE_ADDRESS);
    if (hResult == E_UPDATE_INFO_NO_EXPIRY)
        return FormatResourceString(IDS_FAIL_NO_EXPIRY);
    return FormatResourceString(IDS_FAIL_UNREACHABLE);
}

bool IsTrustRefusal(HRESULT hResult)
{
    return hResult == E_UPDATE_INFO_UNTRUSTED || hResult == E_UPDATE_INFO_NO_EXPIRY ||
           hResult == E_UPDATE_INFO_EXPIRED || hResult == E_UPDATE_INFO_ROLLED_BACK ||
           hResult == E_UPDATE_INFO_NOT_WEB_ADDRESS || hResult == E_UPDATE_INFO_INSECURE_ADDRESS;
}

std::string ExpiredFailureLine(uint64_t ftExpires)
{
    const std::string when = fw::LocalTimeText(ftExpires, DATE_SHORTDATE, true);
    return FormatResourceString(IDS_FAIL_EXPIRED,
                                (when.empty() ? UtcTimeText(ftExpires) : when).c_str());
}

std::string RolledBackFailureLine(const VersionNumber& offered, const VersionNumber& highest)
{
    return FormatResourceString(IDS_FAIL_ROLLED_BACK, offered.Text().c_str(),
                                highest.Text().c_str());
}

std::string InstallerFailureLine(HRESULT hResult, const CDownloader& download, uint64_t cbInstaller)
{
    std::string line;
    if (ServerFailureLine(hResult, download, line))
        return line;
    const TransferWatch& watch = download.Watch();
    if (hResult == E_DOWNLOAD_TOO_LARGE)
    {
        // At least what the server announced, if it said; what came if not.
        const uint64_t cbSeen = watch.LengthKnown() && watch.AnnouncedLength() > watch.Received()
                                    ? watch.AnnouncedLength()
                                    : watch.Received();
        return SizeFailureLine(cbInstaller, cbSeen);
    }
    if (hResult == E_DOWNLOAD_CUT_SHORT)
        return SizeFailureLine(cbInstaller, watch.Received());
    return FormatResourceString(IDS_FAIL_UNREACHABLE);
}

std::string SizeFailureLine(uint64_t cbAnnounced, uint64_t cbSeen, LCID lcid)
{
    return FormatResourceString(cbSeen > cbAnnounced ? IDS_FAIL_TOO_LARGE : IDS_FAIL_TOO_SMALL,
                                FormatByteSize(cbAnnounced, lcid).c_str(),
                                FormatByteSize(cbSeen, lcid).c_str());
}

std::string SaveFailureLine(HRESULT hr)
{
    // No failure of the system: another program's file took its place.
    if (hr == E_INSTALLER_REPLACED)
        return FormatResourceString(IDS_FAIL_REPLACED);
    return FormatResourceString(IDS_FAIL_SAVE, SystemErrorText(SystemErrorOf(hr)).c_str());
}

std::string StartFailureLine(HRESULT hr)
{
    return FormatResourceString(IDS_FAIL_START, SystemErrorText(SystemErrorOf(hr)).c_str());
}
