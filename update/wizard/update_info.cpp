#include "update/wizard/update_info.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <locale>
#include <sstream>

namespace {

// The white space that the stream's extraction skips in the classic locale.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool StartsWith(const std::string& text, const char* pszPrefix)
{
    return text.compare(0, std::strlen(pszPrefix), pszPrefix) == 0;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseSha256(const std::string& hex, Sha256Digest& digest)
{
    if (hex.size() != 2 * digest.size())
        return false;
    for (size_t i = 0; i < digest.size(); ++i)
    {
        const int nHigh = HexValue(hex[2 * i]);
        const int nLow = HexValue(hex[2 * i + 1]);
        if (nHigh < 0 || nLow < 0)
            return false;
        digest[i] = static_cast<uint8_t>(nHigh * 16 + nLow);
    }
    return true;
}

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Standard base64 with padding, in its one canonical spelling: any other
// spelling of the same bytes is refused, so a signature has one text.
bool DecodeBase64(const std::string& text, std::vector<uint8_t>& bytes)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    size_t nPadding = 0;
    if (text[text.size() - 1] == '=')
        nPadding = text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<uint8_t> decoded;
    decoded.reserve(text.size() / 4 * 3);
    uint32_t uBits = 0;
    for (size_t i = 0; i < text.size() - nPadding; ++i)
    {
        const int nValue = Base64Value(text[i]);
        if (nValue < 0)
            return false;
        uBits = (uBits << 6) | static_cast<uint32_t>(nValue);
        if (i % 4 == 3)
        {
            decoded.push_back(static_cast<uint8_t>(uBits >> 16));
            decoded.push_back(static_cast<uint8_t>(uBits >> 8));
            decoded.push_back(static_cast<uint8_t>(uBits));
            uBits = 0;
        }
    }
    if (nPadding == 2)
    {
        if ((uBits & 0xF) != 0)
            return false;
        decoded.push_back(static_cast<uint8_t>(uBits >> 4));
    }
    else if (nPadding == 1)
    {
        if ((uBits & 0x3) != 0)
            return false;
        decoded.push_back(static_cast<uint8_t>(uBits >> 10));
        decoded.push_back(static_cast<uint8_t>(uBits >> 2));
    }
    bytes.swap(decoded);
    return true;
}

// The optional tokens after the fourth field, from offset nFrom of the
// whole text (the signature signs from the text's first byte).
UpdateInfoFault ReadTokens(const std::string& text, size_t nFrom, UpdateInfo& read)
{
    size_t nPos = nFrom;
    for (;;)
    {
        while (nPos < text.size() && IsSpace(text[nPos]))
            ++nPos;
        if (nPos == text.size())
            return UpdateInfoFault::None;
        const size_t nStart = nPos;
        while (nPos < text.size() && !IsSpace(text[nPos]))
            ++nPos;
        const std::string token = text.substr(nStart, nPos - nStart);
        if (StartsWith(token, kSha256Token))
        {
            Sha256Digest digest;
            if (read.installerSha256 ||
                !ParseSha256(token.substr(std::strlen(kSha256Token)), digest))
                return UpdateInfoFault::Digest;
            read.installerSha256 = digest;
        }
        else if (StartsWith(token, kExpiresToken))
        {
            uint64_t ticks = 0;
            if (read.expires || !ParseUtcTime(token.substr(std::strlen(kExpiresToken)), ticks))
                return UpdateInfoFault::Expiry;
            read.expires = ticks;
        }
        else if (StartsWith(token, kSignatureToken))
        {
            std::vector<uint8_t> signature;
            if (!DecodeBase64(token.substr(std::strlen(kSignatureToken)), signature))
                return UpdateInfoFault::Signature;
            while (nPos < text.size() && IsSpace(text[nPos]))
                ++nPos;
            if (nPos != text.size())
                return UpdateInfoFault::AfterSignature;
            read.signature = std::move(signature);
            read.signedBytes = text.substr(0, nStart);
            return UpdateInfoFault::None;
        }
    }
}

UpdateInfoFault ReadText(const std::string& text, UpdateInfo& info)
{
    if (text.size() > kMaxUpdateInfoSize)
        return UpdateInfoFault::TooLarge;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    if (StartsWithByteOrderMark(text))
        in.seekg(static_cast<std::streamoff>(std::strlen(kUtf8ByteOrderMark)));

    UpdateInfo read;
    // Once one extraction has failed the later ones do nothing.
    in >> read.versionText >> read.installerSize >> read.releaseNotesUrl >> read.installerUrl;
    if (in.fail())
        return UpdateInfoFault::Fields;
    // A version that cannot be compared would be shown, stored and used in
    // the installer's name as 0.0.0.0: the file is not usable.
    if (!VersionNumber().Parse(read.versionText))
        return UpdateInfoFault::Version;
    // Anything else (a UNC path, a file: URL) would have the shell start a
    // program from wherever it names, past every check of the download.
    if (!IsWebAddress(read.installerUrl))
        return UpdateInfoFault::InstallerAddress;

    const size_t nAfterFields = in.eof() ? text.size() : static_cast<size_t>(in.tellg());
    const UpdateInfoFault fault = ReadTokens(text, nAfterFields, read);
    if (fault == UpdateInfoFault::None)
        info = std::move(read);
    return fault;
}

bool Report(UpdateInfoFault fault, UpdateInfoFault* pFault)
{
    if (pFault != nullptr)
        *pFault = fault;
    return fault == UpdateInfoFault::None;
}

} // namespace

bool StartsWithByteOrderMark(const std::string& text)
{
    return StartsWith(text, kUtf8ByteOrderMark);
}

bool ReadUpdateInfo(std::istream& in, UpdateInfo& info, UpdateInfoFault* pFault)
{
    // The whole text, one byte past the limit at most: offsets and the byte-
    // order mark need it, and a longer file is refused anyway.
    std::string text;
    char block[4096];
    while (in && text.size() <= kMaxUpdateInfoSize)
    {
        in.read(block, sizeof(block));
        text.append(block, static_cast<size_t>(in.gcount()));
    }
    if (in.bad())
        return Report(UpdateInfoFault::Fields, pFault);
    return Report(ReadText(text, info), pFault);
}

bool ReadUpdateInfo(const char* pData, size_t cbData, UpdateInfo& info, UpdateInfoFault* pFault)
{
    if (pData == nullptr && cbData != 0)
        return Report(UpdateInfoFault::Fields, pFault);
    return Report(ReadText(std::string(pData != nullptr ? pData : "", cbData), info), pFault);
}

std::string Sha256ToHex(const Sha256Digest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : digest)
    {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0xF];
    }
    return hex;
}

namespace {

constexpr uint64_t kSecondsPerDay = 86400;
constexpr unsigned kFirstYear = 1601;
constexpr unsigned kLastYear = 9999;

bool IsLeapYear(unsigned nYear)
{
    return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

unsigned DaysInMonth(unsigned nYear, unsigned nMonth)
{
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return nMonth == 2 && IsLeapYear(nYear) ? 29 : kDays[nMonth - 1];
}

// Days from 1 January 1601 to 1 January of the year: 1601 starts a cycle
// of 400 years, so the leap years before it are counted plainly.
uint64_t DaysBeforeYear(unsigned nYear)
{
    const uint64_t nYears = nYear - kFirstYear;
    return nYears * 365 + nYears / 4 - nYears / 100 + nYears / 400;
}

// The decimal number of the digits at text[nFrom], nCount of them; false
// if any is not a digit.
bool ReadDigits(const std::string& text, size_t nFrom, size_t nCount, unsigned& nValue)
{
    nValue = 0;
    for (size_t i = nFrom; i < nFrom + nCount; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        nValue = nValue * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

} // namespace

bool ParseUtcTime(const std::string& text, uint64_t& ticks)
{
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return false;
    unsigned nYear, nMonth, nDay, nHour, nMinute, nSecond;
    if (!ReadDigits(text, 0, 4, nYear) || !ReadDigits(text, 5, 2, nMonth) ||
        !ReadDigits(text, 8, 2, nDay) || !ReadDigits(text, 11, 2, nHour) ||
        !ReadDigits(text, 14, 2, nMinute) || !ReadDigits(text, 17, 2, nSecond))
        return false;
    if (nYear < kFirstYear || nYear > kLastYear || nMonth < 1 || nMonth > 12 || nDay < 1 ||
        nDay > DaysInMonth(nYear, nMonth) || nHour > 23 || nMinute > 59 || nSecond > 59)
        return false;
    uint64_t nDays = DaysBeforeYear(nYear) + nDay - 1;
    for (unsigned m = 1; m < nMonth; ++m)
        nDays += DaysInMonth(nYear, m);
    ticks = ((nDays * kSecondsPerDay) + nHour * 3600 + nMinute * 60 + nSecond) * kTicksPerSecond;
    return true;
}

std::string UtcTimeText(uint64_t ticks)
{
    uint64_t nSeconds = ticks / kTicksPerSecond;
    uint64_t nDays = nSeconds / kSecondsPerDay;
    nSeconds %= kSecondsPerDay;
    // Whole cycles of 400 years first, each 146097 days long.
    unsigned nYear = kFirstYear + 400 * static_cast<unsigned>(nDays / 146097);
    nDays %= 146097;
    while (nDays >= (IsLeapYear(nYear) ? 366u : 365u))
    {
        nDays -= IsLeapYear(nYear) ? 366u : 365u;
        ++nYear;
    }
    unsigned nMonth = 1;
    while (nDays >= DaysInMonth(nYear, nMonth))
    {
        nDays -= DaysInMonth(nYear, nMonth);
        ++nMonth;
    }
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%04u-%02u-%02uT%02u:%02u:%02uZ", nYear, nMonth,
                  static_cast<unsigned>(nDays) + 1, static_cast<unsigned>(nSeconds / 3600),
                  static_cast<unsigned>(nSeconds / 60 % 60), static_cast<unsigned>(nSeconds % 60));
    return szText;
}

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
    if (!StartsWith(host, "127."))
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
    return !WebHost(url, nullptr).empty();
}

bool IsSecureWebAddress(const std::string& url)
{
    bool bHttps = false;
    const std::string host = WebHost(url, &bHttps);
    return !host.empty() && (bHttps || IsLoopbackHost(host));
}

std::string InstallerFileName(const VersionNumber& version)
{
    return "vxzsp-" + version.Text() + ".exe";
}
