// The update information: a short text of four white-space-separated
// fields, the newest version, the installer's size in bytes, the address of
// the release notes and the address of the installer. After them a publisher
// may add tokens that readers of the four fields ignore:
//   sha256=<64 hexadecimal digits>   the installer's SHA-256
//   expires=<YYYY-MM-DDThh:mm:ssZ>   the UTC time from which it is refused
//   mirror=<web address>             another address of the same installer;
//                                    up to kMaxMirrors, each named once
//   rollout=<percent>                the share of installations offered the
//                                    version, "0" to "100" with at most one
//                                    decimal (update/info/rollout.h)
//   signature=<base64>               a DER ECDSA P-256 signature with SHA-256
//                                    of every byte before this token; it is
//                                    the last token of the file
// Any other word after the fourth field is ignored.
//
// Plain portable C++ without Windows headers: the text comes from the
// network, and this reader also builds natively for fuzzing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "update/info/utc_time.h"
#include "update/info/version_number.h"
#include "update/info/web_address.h"

using Sha256Digest = std::array<uint8_t, 32>;

struct UpdateInfo
{
    std::string versionText;
    uint32_t installerSize = 0;
    std::string releaseNotesUrl;
    std::string installerUrl;
    // Other addresses of the same installer, in the order written.
    std::vector<std::string> mirrors;
    std::optional<Sha256Digest> installerSha256;
    // When the file expires: UTC, 100-nanosecond ticks since 1 January 1601.
    std::optional<uint64_t> expires;
    // The share of installations offered the version, in tenths of a
    // percent (0 to 1000); none means every installation.
    std::optional<uint16_t> rolloutTenths;
    // The signature's DER bytes, and the bytes it signs: the file up to the
    // first character of the signature token.
    std::optional<std::vector<uint8_t>> signature;
    std::string signedBytes;
};

// Why a file is not update information.
enum class UpdateInfoFault
{
    None,
    TooLarge,         // more than kMaxUpdateInfoSize bytes
    ControlCharacter, // a word holds a NUL or another control character
    Fields,           // one of the four fields is missing or malformed
    Version,          // the first field does not start with three numbers
    InstallerAddress, // the installer's address is not an http or https address
    Digest,           // a sha256= token is malformed or given twice
    Expiry,           // an expires= token is malformed or given twice
    Mirror,           // a mirror= token is no web address, repeated or one too many
    Rollout,          // a rollout= token is malformed or given twice
    Signature,        // the signature= token is not canonical base64
    AfterSignature,   // something other than white space follows the signature
};

// What the reader made of a text, for a reader that must explain a refusal
// or what it skipped.
struct UpdateInfoReading
{
    UpdateInfoFault fault = UpdateInfoFault::None;
    // The field or token at fault as written; empty for a missing field.
    std::string word;
    // How many of the four fields the stream's extraction read.
    size_t nFields = 0;
    // The token at fault is the second of its kind.
    bool bRepeated = false;
    // The installer size as written, once the reader got that far.
    std::string sizeWord;
    // The words after the fourth field that are no token, in order.
    std::vector<std::string> ignored;
};

// The largest update information that is read at all; a longer body is not
// update information.
constexpr size_t kMaxUpdateInfoSize = 64 * 1024;

// The most mirror= tokens a file may hold.
constexpr size_t kMaxMirrors = 4;

// Editors on Windows often save text with this mark first; it is skipped.
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
bool StartsWithByteOrderMark(const std::string& text);

// Reads the four fields in order with the stream's own extraction (three
// tokens and an unsigned 32-bit decimal number), then the optional tokens.
// False, with info untouched and the reason in *pFault or reading, when the
// file is not readable update information.
bool ReadUpdateInfo(std::istream& in, UpdateInfo& info, UpdateInfoFault* pFault = nullptr);
bool ReadUpdateInfo(const char* pData, size_t cbData, UpdateInfo& info,
                    UpdateInfoFault* pFault = nullptr);
bool ReadUpdateInfo(const char* pData, size_t cbData, UpdateInfo& info,
                    UpdateInfoReading& reading);

// The name of the token and what follows it, e.g. "sha256=" + 64 digits.
constexpr char kSha256Token[] = "sha256=";
constexpr char kExpiresToken[] = "expires=";
constexpr char kMirrorToken[] = "mirror=";
constexpr char kRolloutToken[] = "rollout=";
constexpr char kSignatureToken[] = "signature=";
std::string Sha256ToHex(const Sha256Digest& digest);

// The name the downloaded installer is saved under: "vxzsp-2.5.0.301.exe".
std::string InstallerFileName(const VersionNumber& version);
