#include "update/info/update_info.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <locale>
#include <sstream>

#include "update/info/rollout.h"

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

size_t SkipSpace(const std::string& text, size_t nPos)
{
    while (nPos < text.size() && IsSpace(text[nPos]))
        ++nPos;
    return nPos;
}

size_t SkipWord(const std::string& text, size_t nPos)
{
    while (nPos < text.size() && !IsSpace(text[nPos]))
        ++nPos;
    return nPos;
}

// The white-space-separated word at or after nPos; empty at the end.
std::string WordAt(const std::string& text, size_t nPos)
{
    const size_t nStart = SkipSpace(text, nPos);
    return text.substr(nStart, SkipWord(text, nStart) - nStart);
}

// A NUL or control character inside a word: where a reader of the word
// would stop at it, the address checked would not be the address used.
bool FindControlCharacter(const std::string& text, UpdateInfoReading& reading)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && !IsSpace(text[i])) || c == 0x7F)
        {
            size_t nStart = i;
            while (nStart > 0 && !IsSpace(text[nStart - 1]))
                --nStart;
            reading.word = text.substr(nStart, SkipWord(text, i) - nStart);
            return true;
        }
    }
    return false;
}

// The offset in text of the stream's next character. Asking a stream at its
// end would fail it, so the end is known without asking.
size_t Offset(std::istream& in, const std::string& text)
{
    return in.eof() ? text.size() : static_cast<size_t>(in.tellg());
}

// A mirror is handed to the downloader as the installer's address is, so
// it meets the same rule; a repeat or a fifth would only hide a mistake.
UpdateInfoFault ReadMirror(const std::string& url, UpdateInfo& read, UpdateInfoReading& reading)
{
    std::vector<std::string>& mirrors = read.mirrors;
    reading.bRepeated = std::find(mirrors.begin(), mirrors.end(), url) != mirrors.end();
    if (reading.bRepeated || mirrors.size() == kMaxMirrors || !IsWebAddress(url))
        return UpdateInfoFault::Mirror;
    mirrors.push_back(url);
    return UpdateInfoFault::None;
}

// One token after the fields, other than the signature. A word that names
// no token is ignored.
UpdateInfoFault ReadToken(const std::string& token, UpdateInfo& read, UpdateInfoReading& reading)
{
    if (StartsWith(token, kSha256Token))
    {
        Sha256Digest digest;
        reading.bRepeated = read.installerSha256.has_value();
        if (reading.bRepeated || !ParseSha256(token.substr(std::strlen(kSha256Token)), digest))
            return UpdateInfoFault::Digest;
        read.installerSha256 = digest;
    }
    else if (StartsWith(token, kExpiresToken))
    {
        uint64_t ticks = 0;
        reading.bRepeated = read.expires.has_value();
        if (reading.bRepeated || !ParseUtcTime(token.substr(std::strlen(kExpiresToken)), ticks))
            return UpdateInfoFault::Expiry;
        read.expires = ticks;
    }
    else if (StartsWith(token, kMirrorToken))
    {
        return ReadMirror(token.substr(std::strlen(kMirrorToken)), read, reading);
    }
    else if (StartsWith(token, kRolloutToken))
    {
        uint16_t tenths = 0;
        reading.bRepeated = read.rolloutTenths.has_value();
        if (reading.bRepeated ||
            !ParseRolloutPercent(token.substr(std::strlen(kRolloutToken)), tenths))
            return UpdateInfoFault::Rollout;
        read.rolloutTenths = tenths;
    }
    else
    {
        reading.ignored.push_back(token);
    }
    return UpdateInfoFault::None;
}

// The signature token from nStart to nEnd, which must end the text.
UpdateInfoFault ReadSignature(const std::string& text, size_t nStart, size_t nEnd,
                              UpdateInfo& read, UpdateInfoReading& reading)
{
    std::vector<uint8_t> signature;
    reading.word = text.substr(nStart, nEnd - nStart);
    if (!DecodeBase64(reading.word.substr(std::strlen(kSignatureToken)), signature))
        return UpdateInfoFault::Signature;
    if (SkipSpace(text, nEnd) != text.size())
    {
        reading.word = WordAt(text, nEnd);
        return UpdateInfoFault::AfterSignature;
    }
    reading.word.clear();
    read.signature = std::move(signature);
    read.signedBytes = text.substr(0, nStart);
    return UpdateInfoFault::None;
}

// The optional tokens after the fourth field, from offset nFrom of the
// whole text (the signature signs from the text's first byte).
UpdateInfoFault ReadTokens(const std::string& text, size_t nFrom, UpdateInfo& read,
                           UpdateInfoReading& reading)
{
    size_t nPos = nFrom;
    for (;;)
    {
        const size_t nStart = SkipSpace(text, nPos);
        if (nStart == text.size())
            return UpdateInfoFault::None;
        nPos = SkipWord(text, nStart);
        const std::string token = text.substr(nStart, nPos - nStart);
        if (StartsWith(token, kSignatureToken))
            return ReadSignature(text, nStart, nPos, read, reading);
        const UpdateInfoFault fault = ReadToken(token, read, reading);
        if (fault != UpdateInfoFault::None)
        {
            reading.word = token;
            return fault;
        }
    }
}

// The next field by the stream's own extraction; when it fails, the word
// it failed on (empty when there is none).
template <typename Field>
bool ReadField(std::istream& in, const std::string& text, Field& field, UpdateInfoReading& reading)
{
    const size_t nAt = Offset(in, text);
    in >> field;
    if (in.fail())
    {
        reading.word = WordAt(text, nAt);
        return false;
    }
    ++reading.nFields;
    return true;
}

// The four fields in order: three tokens and an unsigned 32-bit decimal
// number.
bool ReadFields(std::istream& in, const std::string& text, UpdateInfo& read,
                UpdateInfoReading& reading)
{
    if (!ReadField(in, text, read.versionText, reading))
        return false;
    reading.sizeWord = WordAt(text, Offset(in, text));
    return ReadField(in, text, read.installerSize, reading) &&
           ReadField(in, text, read.releaseNotesUrl, reading) &&
           ReadField(in, text, read.installerUrl, reading);
}

UpdateInfoFault ReadText(const std::string& text, UpdateInfo& info, UpdateInfoReading& reading)
{
    if (text.size() > kMaxUpdateInfoSize)
        return UpdateInfoFault::TooLarge;
    if (FindControlCharacter(text, reading))
        return UpdateInfoFault::ControlCharacter;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    if (StartsWithByteOrderMark(text))
        in.seekg(static_cast<std::streamoff>(std::strlen(kUtf8ByteOrderMark)));

    UpdateInfo read;
    if (!ReadFields(in, text, read, reading))
        return UpdateInfoFault::Fields;
    // A version that cannot be compared would be shown, stored and used in
    // the installer's name as 0.0.0.0: the file is not usable.
    if (!VersionNumber().Parse(read.versionText))
    {
        reading.word = read.versionText;
        return UpdateInfoFault::Version;
    }
    // Anything else (a UNC path, a file: URL) would have the shell start a
    // program from wherever it names, past every check of the download.
    if (!IsWebAddress(read.installerUrl))
    {
        reading.word = read.installerUrl;
        return UpdateInfoFault::InstallerAddress;
    }

    const UpdateInfoFault fault = ReadTokens(text, Offset(in, text), read, reading);
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
    UpdateInfoReading reading;
    return Report(ReadText(text, info, reading), pFault);
}

bool ReadUpdateInfo(const char* pData, size_t cbData, UpdateInfo& info, UpdateInfoFault* pFault)
{
    UpdateInfoReading reading;
    ReadUpdateInfo(pData, cbData, info, reading);
    return Report(reading.fault, pFault);
}

bool ReadUpdateInfo(const char* pData, size_t cbData, UpdateInfo& info,
                    UpdateInfoReading& reading)
{
    reading = UpdateInfoReading();
    if (pData == nullptr && cbData != 0)
        reading.fault = UpdateInfoFault::Fields;
    else
        reading.fault = ReadText(std::string(pData != nullptr ? pData : "", cbData), info, reading);
    return reading.fault == UpdateInfoFault::None;
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

std::string InstallerFileName(const VersionNumber& version)
{
    return "vxzsp-" + version.Text() + ".exe";
}
