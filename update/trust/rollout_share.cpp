#include "update/trust/rollout_share.h"

#include <vector>

#include "update/trust/sha256.h"

uint32_t RolloutBucket(const InstallationId& id, const VersionNumber& version)
{
    std::vector<uint8_t> bytes(id.begin(), id.end());
    const std::string& text = version.Text();
    bytes.insert(bytes.end(), text.begin(), text.end());
    Sha256Digest digest;
    if (FAILED(CSha256::Of(bytes.data(), static_cast<ULONG>(bytes.size()), digest)))
        return kRolloutBuckets - 1;
    const uint32_t uFirst = (static_cast<uint32_t>(digest[0]) << 24) |
                            (static_cast<uint32_t>(digest[1]) << 16) |
                            (static_cast<uint32_t>(digest[2]) << 8) | digest[3];
    return uFirst % kRolloutBuckets;
}

bool ReadInstallationId(HKEY hSettingsKey, InstallationId& id)
{
    InstallationId read;
    DWORD dwType = REG_NONE;
    DWORD cbData = static_cast<DWORD>(read.size());
    if (RegQueryValueExA(hSettingsKey, kInstallationIdValue, nullptr, &dwType, read.data(),
                         &cbData) != ERROR_SUCCESS)
        return false;
    if (dwType != REG_BINARY || cbData != read.size())
        return false;
    id = read;
    return true;
}
