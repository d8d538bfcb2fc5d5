// The updater's persistent state in the registry. Every setter writes
// through at once; a setter that fails leaves the in-memory value as it was.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/handles.h"
#include "update/info/utc_time.h"
#include "update/info/version_number.h"
#include "update/trust/rollout_share.h"

// Intervals and times in 100-nanosecond ticks.
constexpr uint64_t kTicksPerWeek = 7 * kTicksPerDay;

// Installed version when the product key does not say; also the updater's
// own file and product version.
constexpr char kDefaultInstalledVersion[] = "2.4.2.218";

// Both keys have the same subkey name: the settings key under
// HKEY_CURRENT_USER, the product key under HKEY_LOCAL_MACHINE.
constexpr char kSettingsSubkey[] = "Software\\Vexil ZSP";

class UpdateSettings
{
public:
    UpdateSettings();
    ~UpdateSettings() = default;

    UpdateSettings(const UpdateSettings&) = delete;
    UpdateSettings& operator=(const UpdateSettings&) = delete;

    bool Open();
    bool Load();
    bool ReadInstalledVersion();
    bool ReadAvailableVersion();
    bool ReadHighestVersion();
    // The product folder, the product key's default value as the installer
    // writes it, read afresh; false, with folder unchanged, without one.
    bool ReadProductFolder(std::string& folder) const;

    bool SetLastUpdateTime(uint64_t ftTicks);
    bool SetLastUpdateTimeToNow();
    bool AddToLastUpdateTime(uint64_t ftTicks);
    bool SetNotifyDownload(uint64_t ftTicks);
    bool SetFrequency(uint64_t ftTicks);
    bool SetAutoUpdateEnable(BOOL bEnable);
    bool SetAvailableVersion(const VersionNumber& version);
    bool SetHighestVersion(const VersionNumber& version);

    // This user's identity for staged releases: read, or made from the
    // system's random numbers and written the first time one is needed, or
    // when the stored one is not 16 bytes of REG_BINARY. Load never makes
    // one. False, with id untouched, when it can be neither read nor kept.
    bool InstallationIdentity(InstallationId& id);

    // A version found but held back, and since when (UTC ticks): both
    // written, or both removed; a value already absent counts as removed.
    bool SetPending(const VersionNumber& version, uint64_t ftSince);
    bool ClearPending();

    bool IsInternetConnected() const;

    uint64_t LastUpdateTime() const { return m_ftLastUpdateTime; }
    uint64_t Frequency() const { return m_ftFrequency; }
    uint64_t NotifyDownload() const { return m_ftNotifyDownload; }
    const VersionNumber& AvailableVersion() const { return m_verAvailable; }
    const VersionNumber& InstalledVersion() const { return m_verInstalled; }
    // The highest version that trusted update information has announced;
    // 0.0.0.0 until some has.
    const VersionNumber& HighestVersion() const { return m_verHighest; }
    BOOL AutoUpdateEnable() const { return m_bAutoUpdateEnable; }
    // 0.0.0.0 and 0 while nothing is pending.
    const VersionNumber& PendingVersion() const { return m_verPending; }
    uint64_t PendingSince() const { return m_ftPendingSince; }

private:
    bool ReadTicks(const char* pszName, uint64_t& ftValue);
    bool WriteTicks(const char* pszName, uint64_t ftValue);
    bool ReadVersion(const char* pszName, VersionNumber& version);
    bool WriteVersion(const char* pszName, const VersionNumber& version);
    void ReadPending();

    fw::CRegKeyHandle m_key;
    uint64_t m_ftLastUpdateTime;
    uint64_t m_ftFrequency;
    uint64_t m_ftNotifyDownload;
    VersionNumber m_verAvailable;
    VersionNumber m_verInstalled;
    VersionNumber m_verHighest;
    BOOL m_bAutoUpdateEnable;
    VersionNumber m_verPending;
    uint64_t m_ftPendingSince;
};
