#include "tests/support/registry.h"

#include <sddl.h>
#include <shlwapi.h>

#include <cstring>
#include <utility>

#include "framework/handles.h"

namespace testsupport {

const char kSettingsKey[] = "Software\\Vexil ZSP";
const char kPolicyKey[] = "SOFTWARE\\Policies\\Vexil ZSP";

std::string RegistryValue::AsString() const
{
    const auto* p = reinterpret_cast<const char*>(data.data());
    return std::string(p, strnlen(p, data.size()));
}

uint64_t RegistryValue::AsQword() const
{
    uint64_t value = 0;
    if (data.size() == sizeof(value))
        std::memcpy(&value, data.data(), sizeof(value));
    return value;
}

DWORD RegistryValue::AsDword() const
{
    DWORD value = 0;
    if (data.size() == sizeof(value))
        std::memcpy(&value, data.data(), sizeof(value));
    return value;
}

bool DeleteKeyTree(HKEY hRoot, const std::string& subkey)
{
    const DWORD dwResult = SHDeleteKeyA(hRoot, subkey.c_str());
    return dwResult == ERROR_SUCCESS || dwResult == ERROR_FILE_NOT_FOUND;
}

bool KeyExists(HKEY hRoot, const std::string& subkey)
{
    fw::CRegKeyHandle key;
    return RegOpenKeyExA(hRoot, subkey.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

bool WriteValue(HKEY hRoot, const std::string& subkey, const std::string& name, DWORD dwType,
                const void* pData, DWORD cbData)
{
    fw::CRegKeyHandle key;
    if (RegCreateKeyExA(hRoot, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.Get(), name.empty() ? nullptr : name.c_str(), 0, dwType,
                          static_cast<const BYTE*>(pData), cbData) == ERROR_SUCCESS;
}

bool WriteString(HKEY hRoot, const std::string& subkey, const std::string& name,
                 const std::string& value, DWORD dwType)
{
    return WriteValue(hRoot, subkey, name, dwType, value.c_str(),
                      static_cast<DWORD>(value.size() + 1));
}

bool WriteQword(HKEY hRoot, const std::string& subkey, const std::string& name, uint64_t value)
{
    return WriteValue(hRoot, subkey, name, REG_QWORD, &value, sizeof(value));
}

bool WriteDword(HKEY hRoot, const std::string& subkey, const std::string& name, DWORD value)
{
    return WriteValue(hRoot, subkey, name, REG_DWORD, &value, sizeof(value));
}

ScopedValue::ScopedValue(HKEY hRoot, std::string subkey, std::string name,
                         const std::string& value)
    : m_hRoot(hRoot), m_subkey(std::move(subkey)), m_name(std::move(name)),
      m_previous(ReadValue(m_hRoot, m_subkey, m_name)),
      m_bWritten(WriteString(m_hRoot, m_subkey, m_name, value))
{
}

ScopedValue::ScopedValue(HKEY hRoot, std::string subkey, std::string name, DWORD dwValue)
    : m_hRoot(hRoot), m_subkey(std::move(subkey)), m_name(std::move(name)),
      m_previous(ReadValue(m_hRoot, m_subkey, m_name)),
      m_bWritten(WriteDword(m_hRoot, m_subkey, m_name, dwValue))
{
}

ScopedValue::~ScopedValue()
{
    if (m_previous)
        WriteValue(m_hRoot, m_subkey, m_name, m_previous->type, m_previous->data.data(),
                   static_cast<DWORD>(m_previous->data.size()));
    else
        SHDeleteValueA(m_hRoot, m_subkey.c_str(), m_name.c_str());
}

ScopedDpi::ScopedDpi(DWORD dwDpi)
    : ScopedValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", dwDpi)
{
}

std::optional<RegistryValue> ReadValue(HKEY hRoot, const std::string& subkey,
                                       const std::string& name)
{
    fw::CRegKeyHandle key;
    if (RegOpenKeyExA(hRoot, subkey.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return std::nullopt;
    const char* pszName = name.empty() ? nullptr : name.c_str();
    RegistryValue value;
    DWORD cbData = 0;
    if (RegQueryValueExA(key.Get(), pszName, nullptr, &value.type, nullptr, &cbData) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(cbData);
    if (RegQueryValueExA(key.Get(), pszName, nullptr, &value.type,
                         cbData ? value.data.data() : nullptr, &cbData) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(cbData);
    return value;
}

std::vector<std::string> ValueNames(HKEY hRoot, const std::string& subkey)
{
    std::vector<std::string> names;
    fw::CRegKeyHandle key;
    if (RegOpenKeyExA(hRoot, subkey.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i)
    {
        char szName[16384];
        DWORD cchName = sizeof(szName);
        if (RegEnumValueA(key.Get(), i, szName, &cchName, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(szName, cchName);
    }
    return names;
}

bool SetKeyAccess(HKEY hRoot, const std::string& subkey, const char* pszSddl)
{
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(pszSddl, SDDL_REVISION_1,
                                                              &pDescriptor, nullptr))
        return false;
    fw::CLocalBlock descriptor(pDescriptor);
    fw::CRegKeyHandle key;
    if (RegOpenKeyExA(hRoot, subkey.c_str(), 0, WRITE_DAC, key.Receive()) != ERROR_SUCCESS)
        return false;
    return RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, pDescriptor) ==
           ERROR_SUCCESS;
}

void ClearProductKeys()
{
    // A key left read-only by a test must be writable again to go.
    SetKeyAccess(HKEY_CURRENT_USER, kSettingsKey, "D:(A;;KA;;;WD)");
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    DeleteKeyTree(HKEY_CURRENT_USER, kPolicyKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kPolicyKey);
}

} // namespace testsupport
