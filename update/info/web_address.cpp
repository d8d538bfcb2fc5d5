#include "update/info/web_address.h"

#include <cctype>
#include <cstddef>
#include <cstring>

namespace {

bool StartsWithNoCase(const std::string& text, const char* pszPrefix)
{
    for (size_t i = 0; pszPrefix[i] != '\0'; ++i)
    {
        if (i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(pszPrefix[i]))
            return false;
    }
    return true;
}

bool EqualsNoCase(const std::string& text, const char* psz)
{
    return text.size() == std::strlen(psz) && StartsWithNoCase(text, psz);
}

bool IsHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// RFC 3986's unreserved and reserved characters and its %-escapes, but
// for the apostrophe: a browser's registration quotes the address for a
// command line, and no quote may end that early.
bool HasOnlyAddressCharacters(const std::string& url)
{
    static const char kMarks[] = "-._~:/?#[]@!$&()*+,;=";
    for (size_t i = 0; i < url.size(); ++i)
    {
        const char c = url[i];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            (c != '\0' && std::strchr(kMarks, c) != nullptr))
            continue;
        if (c != '%' || i + 2 >= url.size() || !IsHexDigit(url[i + 1]) || !IsHexDigit(url[i + 2]))
            return false;
        i += 2;
    }
    return true;
}

// The host of an http or https address, without user name or port; empty
// when the address is not one.
std::string WebHost(const std::string& url, bool* pbHttps)
{
    size_t nAfterScheme;
    if (StartsWithNoCase(url, "https://"))
        nAfterScheme = std::strlen("https://");
    else if (StartsWithNoCase(url, "http://"))
        nAfterScheme = std::strlen("http://");
    else
        return std::string();
    const size_t nEnd = url.find_first_of("/?#", nAfterScheme);
    std::string authority = url.substr(nAfterScheme, nEnd == std::string::npos ? std::string::npos
                                                                                : nEnd - nAfterScheme);
    // Windows reads a backslash as a slash: such an address is not taken.
    if (authority.find('\\') != std::string::npos)
        return std::string();
    const size_t nAt = authority.rfind('@');
    if (nAt != std::string::npos)
        authority.erase(0, nAt + 1);
    size_t nPort = authority.rfind(':');
    if (!authority.empty() && authority[0] == '[')
    {
        const size_t nClose = authority.find(']');
        if (nClose == std::string::npos)
            return std::string();
        nPort = nClose + 1 < authority.size() ? nClose + 1 : std::string::npos;
        if (nPort != std::string::npos && authority[nPort] != ':')
            return std::string();
    }
    if (nPort != std::string::npos)
        authority.erase(nPort);
    if (pbHttps != nullptr)
        *pbHttps = nAfterScheme == std::strlen("https://");
    return authority;
}

bool IsLoopbackHost(const std::string& host)
{
    if (EqualsNoCase(host, "localhost") || host == "[::1]")
        return true;
    // 127.0.0.0/8 in dotted decimal: four numbers of at most three digits.
    if (host.compare(0, 4, "127.") != 0)
        return false;
    int nParts = 1;
    size_t nDigits = 0;
    for (size_t i = 0; i < host.size(); ++i)
    {
        if (host[i] == '.')
        {
            if (nDigits == 0)
                return false;
            ++nParts;
            nDigits = 0;
        }
        else if (host[i] >= '0' && host[i] <= '9' && nDigits < 3)
            ++nDigits;
        else
            return false;
    }
    return nParts == 4 && nDigits != 0;
}

} // namespace

bool IsWebAddress(const std::string& url)
{
    return HasOnlyAddressCharacters(url) && !WebHost(url, nullptr).empty();
}

bool IsSecureWebAddress(const std::string& url)
{
    bool bHttps = false;
    const std::string host = IsWebAddress(url) ? WebHost(url, &bHttps) : std::string();
    return !host.empty() && (bHttps || IsLoopbackHost(host));
}
