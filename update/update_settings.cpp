#include "update/update_settings.h"

#include <bcrypt.h>
#include <wininet.h>

#include <cstring>

namespace {

constexpr char kValueVersion[] = "Version";
constexpr char kValueAvailableVersion[] = "AvailableVersion";
constexpr char kValueHighestVersion[] = "HighestVersion";
constexpr char kValueLastUpdateTime[] = "LastUpdateTime";
constexpr char kValueNotifyDownload[] = "NotifyDownload";
constexpr char kValueFrequency[] = "Frequency";
constexpr char kValueAutoUpdateEnable[] = "AutoUpdateEnable";
constexpr char kValuePendingVersion[] = "PendingVersion";
constexpr char kValuePendingSince[] = "PendingSince";

// "Version" is read with a limit of 261 bytes, the versions the settings key
// holds with 260.
constexpr DWORD kVersionReadLimit = 261;
constexpr DWORD kStoredVersionReadLimit = 260;

} // namespace

UpdateSettings::UpdateSettings()
    : m_ftLastUpdateTime(0), m_ftFrequency(kTicksPerDay), m_ftNotifyDownload(0),
      m_bAutoUpdateEnable(TRUE), m_ftPendingSince(0)
{
}

bool UpdateSettings::Open()
{
    if (m_key)
        return true;
    HKEY hKey = nullptr;
    LONG lResult = RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsSubkey, 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &hKey,
                                   nullptr);
    if (lResult != ERROR_SUCCESS)
        return false;
    m_key.Reset(hKey);
    return true;
}

bool UpdateSettings::ReadInstalledVersion()
{
    fw::CRegKeyHandle productKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsSubkey, 0, KEY_READ, productKey.Receive()) !=
        ERROR_SUCCESS)
        return false;

    // One byte more than the read may fill, so that a value stored without
    // its terminator still ends in one.
    char szVersion[kVersionReadLimit + 1] = {};
    DWORD cbData = kVersionReadLimit;
    if (RegQueryValueExA(productKey.Get(), kValueVersion, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(szVersion), &cbData) != ERROR_SUCCESS)
        return false;

    m_verInstalled = VersionNumber(szVersion);
    return true;
}

bool UpdateSettings::ReadProductFolder(std::string& folder) const
{
    char szFolder[MAX_PATH] = {};
    DWORD cbData = sizeof(szFolder);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsSubkey, nullptr, RRF_RT_REG_SZ,
                     nullptr, szFolder, &cbData) != ERROR_SUCCESS ||
        szFolder[0] == '\0')
        return false;
    folder = szFolder;
    return true;
}

bool UpdateSettings::ReadVersion(const char* pszName, VersionNumber& version)
{
    if (!m_key)
        return false;
    char szVersion[kStoredVersionReadLimit] = {};
    DWORD dwType = REG_NONE;
    DWORD cbData = kStoredVersionReadLimit;
    if (RegQueryValueExA(m_key.Get(), pszName, nullptr, &dwType,
                         reinterpret_cast<BYTE*>(szVersion), &cbData) != ERROR_SUCCESS)
        return false;
    if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
        return false;
    if (cbData != 0 && szVersion[cbData - 1] != '\0')
        return false;
    version = VersionNumber(szVersion);
    return true;
}

bool UpdateSettings::WriteVersion(const char* pszName, const VersionNumber& version)
{
    if (!m_key)
        return false;
    const std::string& strText = version.Text();
    return RegSetValueExA(m_key.Get(), pszName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(strText.c_str()),
                          static_cast<DWORD>(strText.size() + 1)) == ERROR_SUCCESS;
}

bool UpdateSettings::ReadAvailableVersion()
{
    VersionNumber version;
    if (!ReadVersion(kValueAvailableVersion, version) || m_verInstalled.IsNewerThan(version))
        return false;
    m_verAvailable = version;
    return true;
}

bool UpdateSettings::ReadHighestVersion()
{
    return ReadVersion(kValueHighestVersion, m_verHighest);
}

// Both values or neither: a version without its time, or a time of another
// type or size, is no pending version. Nothing is written back.
void UpdateSettings::ReadPending()
{
    VersionNumber version;
    if (!ReadVersion(kValuePendingVersion, version) || version.Text() == VersionNumber().Text())
        return;
    uint64_t ftSince = 0;
    DWORD dwType = REG_NONE;
    DWORD cbData = sizeof(ftSince);
    if (RegQueryValueExA(m_key.Get(), kValuePendingSince, nullptr, &dwType,
                         reinterpret_cast<BYTE*>(&ftSince), &cbData) != ERROR_SUCCESS ||
        dwType != REG_QWORD || cbData != sizeof(ftSince))
        return;
    m_verPending = version;
    m_ftPendingSince = ftSince;
}

bool UpdateSettings::ReadTicks(const char* pszName, uint64_t& ftValue)
{
    if (!m_key)
        return false;
    // A shorter value replaces only the low-order bytes of the current one;
    // nothing is taken from a read that fails.
    uint64_t ftRead = ftValue;
    DWORD cbData = sizeof(ftRead);
    if (RegQueryValueExA(m_key.Get(), pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(&ftRead),
                         &cbData) != ERROR_SUCCESS)
        return false;
    ftValue = ftRead;
    return true;
}

bool UpdateSettings::WriteTicks(const char* pszName, uint64_t ftValue)
{
    if (!m_key)
        return false;
    return RegSetValueExA(m_key.Get(), pszName, 0, REG_QWORD,
                          reinterpret_cast<const BYTE*>(&ftValue),
                          sizeof(ftValue)) == ERROR_SUCCESS;
}

bool UpdateSettings::Load()
{
    if (!ReadInstalledVersion())
        m_verInstalled.Parse(kDefaultInstalledVersion);

    if (!ReadAvailableVersion() && !SetAvailableVersion(m_verInstalled))
        return false;
    // Written only once trusted information announces a version: until
    // then nothing is refused for announcing less.
    ReadHighestVersion();
    ReadPending();

    if (!ReadTicks(kValueLastUpdateTime, m_ftLastUpdateTime) && !SetLastUpdateTime(0))
        return false;
    if (!ReadTicks(kValueNotifyDownload, m_ftNotifyDownload) && !SetNotifyDownload(0))
        return false;
    if (!ReadTicks(kValueFrequency, m_ftFrequency) && !SetFrequency(kTicksPerDay))
        return false;

    bool bAutoRead = false;
    if (m_key)
    {
        DWORD dwValue = static_cast<DWORD>(m_bAutoUpdateEnable);
        DWORD cbData = sizeof(dwValue);
        if (RegQueryValueExA(m_key.Get(), kValueAutoUpdateEnable, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&dwValue), &cbData) == ERROR_SUCCESS)
        {
            m_bAutoUpdateEnable = (dwValue != 0);
            bAutoRead = true;
        }
    }
    if (!bAutoRead && !SetAutoUpdateEnable(TRUE))
        return false;

    return true;
}

bool UpdateSettings::SetLastUpdateTime(uint64_t ftTicks)
{
    if (!WriteTicks(kValueLastUpdateTime, ftTicks))
        return false;
    m_ftLastUpdateTime = ftTicks;
    return true;
}

bool UpdateSettings::SetLastUpdateTimeToNow()
{
    SYSTEMTIME stNow;
    GetSystemTime(&stNow);
    FILETIME ftNow;
    if (!SystemTimeToFileTime(&stNow, &ftNow))
        return false;
    return SetLastUpdateTime((static_cast<uint64_t>(ftNow.dwHighDateTime) << 32) |
                             ftNow.dwLowDateTime);
}

bool UpdateSettings::AddToLastUpdateTime(uint64_t ftTicks)
{
    return SetLastUpdateTime(m_ftLastUpdateTime + ftTicks);
}

bool UpdateSettings::SetNotifyDownload(uint64_t ftTicks)
{
    if (!WriteTicks(kValueNotifyDownload, ftTicks))
        return false;
    m_ftNotifyDownload = ftTicks;
    return true;
}

bool UpdateSettings::SetFrequency(uint64_t ftTicks)
{
    if (!WriteTicks(kValueFrequency, ftTicks))
        return false;
    m_ftFrequency = ftTicks;
    return true;
}

bool UpdateSettings::SetAutoUpdateEnable(BOOL bEnable)
{
    if (!m_key)
        return false;
    const DWORD dwValue = bEnable ? 1 : 0;
    if (RegSetValueExA(m_key.Get(), kValueAutoUpdateEnable, 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue)) != ERROR_SUCCESS)
        return false;
    m_bAutoUpdateEnable = bEnable;
    return true;
}

bool UpdateSettings::SetAvailableVersion(const VersionNumber& version)
{
    if (!WriteVersion(kValueAvailableVersion, version))
        return false;
    m_verAvailable = version;
    return true;
}

bool UpdateSettings::SetHighestVersion(const VersionNumber& version)
{
    if (!WriteVersion(kValueHighestVersion, version))
        return false;
    m_verHighest = version;
    return true;
}

bool UpdateSettings::InstallationIdentity(InstallationId& id)
{
    if (!m_key)
        return false;
    if (ReadInstallationId(m_key.Get(), id))
        return true;
    InstallationId made;
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, made.data(), static_cast<ULONG>(made.size()),
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return false;
    if (RegSetValueExA(m_key.Get(), kInstallationIdValue, 0, REG_BINARY, made.data(),
                       static_cast<DWORD>(made.size())) != ERROR_SUCCESS)
        return false;
    id = made;
    return true;
}

bool UpdateSettings::SetPending(const VersionNumber& version, uint64_t ftSince)
{
    if (!WriteVersion(kValuePendingVersion, version) || !WriteTicks(kValuePendingSince, ftSince))
        return false;
    m_verPending = version;
    m_ftPendingSince = ftSince;
    return true;
}

bool UpdateSettings::ClearPending()
{
    if (!m_key)
        return false;
    bool bCleared = true;
    for (const char* pszName : {kValuePendingVersion, kValuePendingSince})
    {
        const LONG lResult = RegDeleteValueA(m_key.Get(), pszName);
        bCleared = bCleared && (lResult == ERROR_SUCCESS || lResult == ERROR_FILE_NOT_FOUND);
    }
    if (!bCleared)
        return false;
    m_verPending = VersionNumber();
    m_ftPendingSince = 0;
    return true;
}

bool UpdateSettings::IsInternetConnected() const
{
    DWORD dwFlags = 0;
    return InternetGetConnectedState(&dwFlags, 0) != FALSE;
}
