// The update information: a short text of four white-space-separated
// fields, the newest version, the installer's size in bytes, the address of
// the release notes and the address of the installer. Anything after the
// fourth field is ignored.
//
// Plain portable C++ without Windows headers: the text comes from the
// network, and this reader also builds natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

#include "update/version_number.h"

struct UpdateInfo
{
    std::string versionText;
    uint32_t installerSize = 0;
    std::string releaseNotesUrl;
    std::string installerUrl;
};

// The largest update information that is read at all; a longer body is not
// update information.
constexpr size_t kMaxUpdateInfoSize = 64 * 1024;

// Reads the four fields in order with the stream's own extraction: three
// tokens and an unsigned 32-bit decimal number. False, with info untouched,
// when any of them is missing or malformed.
bool ReadUpdateInfo(std::istream& in, UpdateInfo& info);
bool ReadUpdateInfo(const char* pData, size_t cbData, UpdateInfo& info);

// Release notes are shown only from http and https addresses.
bool IsReleaseNotesAddress(const std::string& url);

// The name the downloaded installer is saved under: "vxzsp-2.5.0.301.exe".
std::string InstallerFileName(const VersionNumber& version);
