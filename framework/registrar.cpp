#include "framework/registrar.h"

#include <shlwapi.h>

#include <cstdlib>
#include <vector>

#include "framework/handles.h"

namespace fw {

namespace {

struct Token
{
    std::string text;
    bool bQuoted = false;

    bool Is(const char* pszWord) const { return !bQuoted && lstrcmpiA(text.c_str(), pszWord) == 0; }
};

struct RegValue
{
    std::string name;   // empty for the default value
    DWORD dwType = REG_SZ;
    std::string text;
    DWORD dwNumber = 0;
};

enum class KeyFlag
{
    None,
    NoRemove,
    ForceRemove,
    Delete,
};

struct RegKeyNode
{
    std::string name;
    KeyFlag flag = KeyFlag::None;
    bool bHasDefault = false;
    RegValue defaultValue;
    std::vector<RegValue> values;
    std::vector<RegKeyNode> children;
};

struct RegRoot
{
    HKEY hRoot = nullptr;
    std::vector<RegKeyNode> keys;
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Splits the script into words and quoted names; '' inside quotes is one
// quote. Fails on an unterminated quote.
bool Tokenize(const std::string& script, std::vector<Token>& tokens)
{
    size_t i = 0;
    while (i < script.size())
    {
        if (IsSpace(script[i]))
        {
            ++i;
            continue;
        }
        Token token;
        if (script[i] == '\'')
        {
            token.bQuoted = true;
            ++i;
            for (;;)
            {
                if (i >= script.size())
                    return false;
                if (script[i] == '\'')
                {
                    if (i + 1 < script.size() && script[i + 1] == '\'')
                    {
                        token.text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += script[i++];
            }
        }
        else
        {
            while (i < script.size() && !IsSpace(script[i]))
                token.text += script[i++];
        }
        tokens.push_back(token);
    }
    return true;
}

HKEY RootKeyFromName(const Token& token)
{
    static const struct
    {
        const char* pszShort;
        const char* pszLong;
        HKEY hKey;
    } roots[] = {
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKU", "HKEY_USERS", HKEY_USERS},
        {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    for (const auto& root : roots)
    {
        if (token.Is(root.pszShort) || token.Is(root.pszLong))
            return root.hKey;
    }
    return nullptr;
}

class Parser
{
public:
    explicit Parser(const std::vector<Token>& tokens) : m_tokens(tokens), m_pos(0) {}

    bool ParseScript(std::vector<RegRoot>& roots)
    {
        while (m_pos < m_tokens.size())
        {
            RegRoot root;
            root.hRoot = RootKeyFromName(m_tokens[m_pos++]);
            if (root.hRoot == nullptr || !Expect("{") || !ParseEntries(root.keys, nullptr))
                return false;
            roots.push_back(std::move(root));
        }
        return true;
    }

private:
    const Token* Next() { return m_pos < m_tokens.size() ? &m_tokens[m_pos++] : nullptr; }
    const Token* Peek() const { return m_pos < m_tokens.size() ? &m_tokens[m_pos] : nullptr; }

    bool Expect(const char* pszWord)
    {
        const Token* pToken = Next();
        return pToken != nullptr && pToken->Is(pszWord);
    }

    static bool IsName(const Token& token)
    {
        return !token.text.empty() && !token.Is("{") && !token.Is("}") && !token.Is("=");
    }

    bool ParseValue(RegValue& value)
    {
        const Token* pType = Next();
        const Token* pData = Next();
        if (pType == nullptr || pData == nullptr || pData->Is("{") || pData->Is("}"))
            return false;
        if (pType->Is("s"))
        {
            value.dwType = REG_SZ;
            value.text = pData->text;
            return true;
        }
        if (pType->Is("d"))
        {
            value.dwType = REG_DWORD;
            const char* pszText = pData->text.c_str();
            char* pszEnd = nullptr;
            const unsigned long ulNumber = std::strtoul(pszText, &pszEnd, 0);
            if (pszEnd == pszText || *pszEnd != '\0')
                return false;
            value.dwNumber = static_cast<DWORD>(ulNumber);
            return true;
        }
        return false;
    }

    // Reads entries up to the closing brace: subkeys into keys, and named
    // values into *pValues where values are allowed.
    bool ParseEntries(std::vector<RegKeyNode>& keys, std::vector<RegValue>* pValues)
    {
        for (;;)
        {
            const Token* pToken = Next();
            if (pToken == nullptr)
                return false;
            if (pToken->Is("}"))
                return true;

            if (pToken->Is("val"))
            {
                const Token* pName = Next();
                RegValue value;
                if (pValues == nullptr || pName == nullptr || !IsName(*pName) || !Expect("=") ||
                    !ParseValue(value))
                    return false;
                value.name = pName->text;
                pValues->push_back(std::move(value));
                continue;
            }

            RegKeyNode node;
            if (pToken->Is("NoRemove"))
                node.flag = KeyFlag::NoRemove;
            else if (pToken->Is("ForceRemove"))
                node.flag = KeyFlag::ForceRemove;
            else if (pToken->Is("Delete"))
                node.flag = KeyFlag::Delete;
            if (node.flag != KeyFlag::None)
                pToken = Next();
            if (pToken == nullptr || !IsName(*pToken))
                return false;
            node.name = pToken->text;

            const Token* pNext = Peek();
            if (pNext != nullptr && pNext->Is("="))
            {
                ++m_pos;
                if (!ParseValue(node.defaultValue))
                    return false;
                node.bHasDefault = true;
                pNext = Peek();
            }
            if (pNext != nullptr && pNext->Is("{"))
            {
                ++m_pos;
                if (!ParseEntries(node.children, &node.values))
                    return false;
            }
            keys.push_back(std::move(node));
        }
    }

    const std::vector<Token>& m_tokens;
    size_t m_pos;
};

LONG SetValue(HKEY hKey, const RegValue& value)
{
    const char* pszName = value.name.empty() ? nullptr : value.name.c_str();
    if (value.dwType == REG_DWORD)
        return RegSetValueExA(hKey, pszName, 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value.dwNumber), sizeof(DWORD));
    return RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                          static_cast<DWORD>(value.text.size() + 1));
}

LONG DeleteTree(HKEY hParent, const std::string& name)
{
    const DWORD dwResult = SHDeleteKeyA(hParent, name.c_str());
    return dwResult == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<LONG>(dwResult);
}

LONG RegisterKey(HKEY hParent, const RegKeyNode& node)
{
    if (node.flag == KeyFlag::Delete)
        return DeleteTree(hParent, node.name);
    if (node.flag == KeyFlag::ForceRemove)
    {
        const LONG lResult = DeleteTree(hParent, node.name);
        if (lResult != ERROR_SUCCESS)
            return lResult;
    }

    CRegKeyHandle key;
    LONG lResult = RegCreateKeyExA(hParent, node.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_READ | KEY_WRITE, nullptr, key.Receive(), nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (node.bHasDefault && (lResult = SetValue(key.Get(), node.defaultValue)) != ERROR_SUCCESS)
        return lResult;
    for (const RegValue& value : node.values)
    {
        if ((lResult = SetValue(key.Get(), value)) != ERROR_SUCCESS)
            return lResult;
    }
    for (const RegKeyNode& child : node.children)
    {
        if ((lResult = RegisterKey(key.Get(), child)) != ERROR_SUCCESS)
            return lResult;
    }
    return ERROR_SUCCESS;
}

LONG UnregisterKey(HKEY hParent, const RegKeyNode& node)
{
    if (node.flag == KeyFlag::Delete)
        return ERROR_SUCCESS;
    if (node.flag == KeyFlag::ForceRemove)
        return DeleteTree(hParent, node.name);

    bool bHasSubkeys = false;
    {
        CRegKeyHandle key;
        LONG lResult =
            RegOpenKeyExA(hParent, node.name.c_str(), 0, KEY_READ | KEY_WRITE, key.Receive());
        if (lResult == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        // Go on past a failure, so that as much as possible is removed.
        LONG lFirstError = ERROR_SUCCESS;
        for (const RegKeyNode& child : node.children)
        {
            lResult = UnregisterKey(key.Get(), child);
            if (lFirstError == ERROR_SUCCESS)
                lFirstError = lResult;
        }
        for (const RegValue& value : node.values)
            RegDeleteValueA(key.Get(), value.name.c_str());
        if (lFirstError != ERROR_SUCCESS)
            return lFirstError;

        DWORD dwSubkeys = 0;
        if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &dwSubkeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return ERROR_SUCCESS;
        bHasSubkeys = dwSubkeys != 0;
    }
    if (node.flag == KeyFlag::NoRemove || bHasSubkeys)
        return ERROR_SUCCESS;
    const LONG lResult = RegDeleteKeyA(hParent, node.name.c_str());
    return lResult == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : lResult;
}

LONG UnregisterRoots(const std::vector<RegRoot>& roots)
{
    LONG lFirstError = ERROR_SUCCESS;
    for (const RegRoot& root : roots)
    {
        for (const RegKeyNode& node : root.keys)
        {
            const LONG lResult = UnregisterKey(root.hRoot, node);
            if (lFirstError == ERROR_SUCCESS)
                lFirstError = lResult;
        }
    }
    return lFirstError;
}

} // namespace

HRESULT CRegistrar::UpdateRegistry(const std::string& script, bool bRegister)
{
    try
    {
        return Apply(script, bRegister);
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT CRegistrar::Apply(const std::string& script, bool bRegister)
{
    std::vector<Token> tokens;
    std::vector<RegRoot> roots;
    if (!Tokenize(script, tokens) || !Parser(tokens).ParseScript(roots))
        return DISP_E_EXCEPTION;

    if (!bRegister)
        return HRESULT_FROM_WIN32(UnregisterRoots(roots));

    for (const RegRoot& root : roots)
    {
        for (const RegKeyNode& node : root.keys)
        {
            const LONG lResult = RegisterKey(root.hRoot, node);
            if (lResult != ERROR_SUCCESS)
            {
                // Take back what this script had written so far.
                UnregisterRoots(roots);
                return HRESULT_FROM_WIN32(lResult);
            }
        }
    }
    return S_OK;
}

} // namespace fw
