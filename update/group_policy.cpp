#include "update/group_policy.h"

#include <windows.h>

#include "framework/handles.h"

namespace {

// One byte more than a text value may have, and room for its NUL, so that a
// longer value is seen to be too long rather than cut to fit.
constexpr DWORD kReadRoom = kMaxPolicyText + 2;

fw::CRegKeyHandle OpenPolicyKey(HKEY hRoot)
{
    HKEY hKey = nullptr;
    // The view of the program's own bitness; the policy key is shared by
    // both views on 64-bit Windows anyway.
    if (RegOpenKeyExA(hRoot, kPolicySubkey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return fw::CRegKeyHandle();
    return fw::CRegKeyHandle(hKey);
}

// The value's type and bytes; a string loses the NUL the registry may or
// may not hold at its end, and one with a NUL inside keeps it, to be refused.
bool ReadRawValue(HKEY hKey, const char* pszName, RawPolicyValue& value)
{
    char buffer[kReadRoom] = {};
    DWORD dwType = REG_NONE;
    DWORD cbData = sizeof(buffer);
    if (RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(buffer),
                         &cbData) != ERROR_SUCCESS)
        return false;
    if (dwType == REG_SZ && cbData != 0 && buffer[cbData - 1] == '\0')
        --cbData;
    value.type = dwType;
    value.data.assign(buffer, cbData);
    return true;
}

} // namespace

UpdatePolicy ReadGroupPolicy()
{
    UpdatePolicy policy;
    const fw::CRegKeyHandle keys[] = {OpenPolicyKey(HKEY_LOCAL_MACHINE),
                                      OpenPolicyKey(HKEY_CURRENT_USER)};
    for (const PolicyValueInfo& info : kPolicyValues)
    {
        for (const fw::CRegKeyHandle& key : keys)
        {
            RawPolicyValue value;
            if (key && ReadRawValue(key.Get(), info.pszName, value) &&
                TakePolicyValue(info.id, value, policy))
                break;
        }
    }
    return policy;
}
