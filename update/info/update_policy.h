// What an organisation's policy says about updates: the values that Group
// Policy (or any tool that manages desktops) writes under
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER\SOFTWARE\Policies\Vexil ZSP, and
// how each is taken. The updater reads them and never writes them.
//
// Plain portable C++ without Windows headers: the values are whatever an
// administrator's script wrote, so every one is checked here before it is
// taken, and the templates for administrators are tested against the table
// below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "update/info/version_number.h"

// The key under both roots. Where both hold a value that is taken, the
// machine's wins: an administrator's setting is not undone by the user.
constexpr char kPolicySubkey[] = "SOFTWARE\\Policies\\Vexil ZSP";

enum class PolicyValueId
{
    UpdatesEnabled,
    TargetVersionPrefix,
    UpdateInfoUrl,
    DownloadPageUrl,
    SkipAndRemindAllowed,
};

enum class PolicyValueKind
{
    Number, // REG_DWORD, or REG_SZ holding the number's decimal digits
    Text,   // REG_SZ
};

struct PolicyValueInfo
{
    PolicyValueId id;
    const char* pszName;
    PolicyValueKind kind;
};

// Every policy value the updater reads, in the order of PolicyValueId.
extern const PolicyValueInfo kPolicyValues[5];

// A value as the registry holds it: its type (REG_SZ = 1, REG_DWORD = 4)
// and its bytes, a string's without the terminating NUL.
struct RawPolicyValue
{
    uint32_t type = 0;
    std::string data;
};

constexpr uint32_t kPolicyRegSz = 1;
constexpr uint32_t kPolicyRegDword = 4;
// The longest text value taken, in bytes: the room the updater has for an
// address.
constexpr size_t kMaxPolicyText = 259;

enum class UpdatesAllowed
{
    All,        // UpdatesEnabled 1, or not set
    None,       // 0: no check, automatic or manual
    ManualOnly, // 2: only when the user asks
};

struct UpdatePolicy
{
    UpdatesAllowed updates = UpdatesAllowed::All;
    // The numbers every offered version must begin with, and their text as
    // the administrator wrote it; empty for any version.
    std::vector<uint32_t> targetPrefix;
    std::string targetPrefixText;
    // In place of the built-in addresses; empty for those.
    std::string updateInfoUrl;
    std::string downloadPageUrl;
    bool bSkipAndRemindAllowed = true;

    // Whether anything here makes the updater act otherwise than without
    // policy: the user is then told that the organisation manages it.
    bool IsManaged() const;
    // Whether the version begins with the target prefix.
    bool AllowsVersion(const VersionNumber& version) const;
};

// Takes the value into the policy when it is well-formed for its name;
// returns false, with the policy unchanged, when it is of the wrong type,
// out of range, too long, or an address the updater does not fetch from.
bool TakePolicyValue(PolicyValueId id, const RawPolicyValue& value, UpdatePolicy& policy);
