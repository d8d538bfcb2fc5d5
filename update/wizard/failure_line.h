// Why a run failed, in one line under the failure message of the finish
// page: what a user can tell apart and act on (no server, a refusal by the
// server, a server that stopped sending, a size other than announced, a
// file that cannot be written), read from how a download ended.
#pragma once

#include <cstdint>
#include <string>

#include "update/download/downloader.h"
#include "update/info/version_number.h"

// The check of the update information ended with hResult.
std::string CheckFailureLine(HRESULT hResult, const CDownloader& download);
// Whether the check refused information that came whole: the connection
// was fine, but the information cannot be trusted.
bool IsTrustRefusal(HRESULT hResult);
// The update information expired at ftExpires (UTC, FILETIME ticks), said
// in the user's own time and format.
std::string ExpiredFailureLine(uint64_t ftExpires);
// The update information offered a version below the highest one before.
std::string RolledBackFailureLine(const VersionNumber& offered, const VersionNumber& highest);
// The download of the installer, announced at cbInstaller bytes, ended with
// hResult.
std::string InstallerFailureLine(HRESULT hResult, const CDownloader& download, uint64_t cbInstaller);
// The installer announced at cbAnnounced bytes came with cbSeen; the sizes in
// the locale's format.
std::string SizeFailureLine(uint64_t cbAnnounced, uint64_t cbSeen, LCID lcid = LOCALE_USER_DEFAULT);
// The installer could not be saved or started, for the system's reason hr.
std::string SaveFailureLine(HRESULT hr);
std::string StartFailureLine(HRESULT hr);
