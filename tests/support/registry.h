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

// A value of the registry while the object lives; the value before it
// comes back afterwards, or, where there was none, the value goes.
class ScopedValue
{
public:
    ScopedValue(HKEY hRoot, std::string subkey, std::string name, const std::string& value);
    ScopedValue(HKEY hRoot, std::string subkey, std::string name, DWORD dwValue);
    ~ScopedValue();

    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

    bool IsWritten() const { return m_bWritten; }

private:
    HKEY m_hRoot;
    std::string m_subkey;
    std::string m_name;
    std::optional<RegistryValue> m_previous;
    bool m_bWritten;
};

// The DPI (Windows' LogPixels) of the programs started while the object
// lives.
class ScopedDpi : public ScopedValue
{
public:
    explicit ScopedDpi(DWORD dwDpi);
};

// The updater's keys and the organisation's policy for it, removed before
// and after each test that uses them. A copy of the prefix taken between a
// change and the wineserver's next save still holds the change, so clearing
// all of them is what makes such a copy clean too.
extern const char kSettingsKey[];
extern const char kPolicyKey[];
void ClearProductKeys();

} // namespace testsupport
