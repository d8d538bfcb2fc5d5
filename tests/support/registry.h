// Reading and preparing the registry from outside the program under test.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct RegistryValue
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    std::string AsString() const;   // the bytes up to the first NUL
    uint64_t AsQword() const;       // requires 8 bytes
    DWORD AsDword() const;          // requires 4 bytes
};

bool DeleteKeyTree(HKEY hRoot, const std::string& subkey);
bool KeyExists(HKEY hRoot, const std::string& subkey);

bool WriteValue(HKEY hRoot, const std::string& subkey, const std::string& name, DWORD dwType,
                const void* pData, DWORD cbData);
bool WriteString(HKEY hRoot, const std::string& subkey, const std::string& name,
                 const std::string& value, DWORD dwType = REG_SZ);
bool WriteQword(HKEY hRoot, const std::string& subkey, const std::string& name, uint64_t value);
bool WriteDword(HKEY hRoot, const std::string& subkey, const std::string& name, DWORD value);

std::optional<RegistryValue> ReadValue(HKEY hRoot, const std::string& subkey,
                                       const std::string& name);
std::vector<std::string> ValueNames(HKEY hRoot, const std::string& subkey);

// Replaces the key's access list: "D:P(A;;KR;;;WD)" lets everyone read and
// nobody write. Returns false if the key cannot be changed.
bool SetKeyAccess(HKEY hRoot, const std::string& subkey, const char* pszSddl);

// The DPI (Windows' LogPixels) of the programs started while the object
// lives; the value before it comes back afterwards.
class ScopedDpi
{
public:
    explicit ScopedDpi(DWORD dwDpi);
    ~ScopedDpi();

    ScopedDpi(const ScopedDpi&) = delete;
    ScopedDpi& operator=(const ScopedDpi&) = delete;

private:
    std::optional<RegistryValue> m_previous;
};

// The updater's two keys, removed before and after each test that uses them.
extern const char kSettingsKey[];
void ClearProductKeys();

} // namespace testsupport
