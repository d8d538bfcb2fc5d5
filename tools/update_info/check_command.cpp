// check: what the updater makes of an update-information file, asked of the
// updater's own reader and decision.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/system_text.h"
#include "tools/update_info/commands.h"
#include "tools/update_info/files.h"
#include "tools/update_info/options.h"
#include "tools/update_info/reading.h"
#include "tools/update_info/report.h"
#include "update/info/update_decision.h"
#include "update/info/rollout.h"
#include "update/info/update_info.h"
#include "update/info/utc_time.h"
#include "update/info/version_number.h"
#include "update/info/web_address.h"
#include "update/trust/rollout_share.h"
#include "update/trust/update_signature.h"
#include "update/update_settings.h"

namespace infotool {

namespace {

// The file as the check sees it, once read.
struct CheckedFile
{
    std::string path;
    std::string body;
    UpdateInfo info;
    UpdateInfoReading reading;
};

std::string Count(uint64_t n, const char* pszUnit)
{
    return std::to_string(n) + " " + pszUnit + (n == 1 ? "" : "s");
}

// A time span in its two largest units: "29 days and 3 hours", "42 minutes".
std::string Duration(uint64_t ticks)
{
    const uint64_t nMinutes = ticks / (60 * kTicksPerSecond);
    const uint64_t nHours = nMinutes / 60;
    const uint64_t nDays = nHours / 24;
    if (nDays > 0)
        return Count(nDays, "day") + (nHours % 24 != 0 ? " and " + Count(nHours % 24, "hour") : "");
    if (nHours > 0)
        return Count(nHours, "hour") +
               (nMinutes % 60 != 0 ? " and " + Count(nMinutes % 60, "minute") : "");
    return nMinutes > 0 ? Count(nMinutes, "minute") : "less than a minute";
}

bool HasExpired(const UpdateInfo& info, uint64_t now)
{
    return info.expires && now >= *info.expires;
}

void PrintFields(const UpdateInfo& info, uint64_t now)
{
    const VersionNumber version(info.versionText);
    const std::string asWritten =
        info.versionText != version.Text() ? " (written " + Quote(info.versionText) + ")" : "";
    std::printf("version            %s%s\n", version.Text().c_str(), asWritten.c_str());
    std::printf("installer size     %lu bytes\n", static_cast<unsigned long>(info.installerSize));
    std::printf("release notes      %s\n", info.releaseNotesUrl.c_str());
    std::printf("installer address  %s\n", info.installerUrl.c_str());
    for (const std::string& mirror : info.mirrors)
        std::printf("mirror             %s\n", mirror.c_str());
    std::printf("saved as           %s\n", InstallerFileName(version).c_str());
    if (info.installerSha256)
        std::printf("installer SHA-256  %s\n", Sha256ToHex(*info.installerSha256).c_str());
    if (info.expires && !HasExpired(info, now))
        std::printf("expires            %s (in %s)\n", UtcTimeText(*info.expires).c_str(),
                    Duration(*info.expires - now).c_str());
    std::fflush(stdout);
}

// This user's identity for staged releases, as the updater keeps it; the
// check only reads it, and never makes one.
bool ReadOwnInstallationId(InstallationId& id)
{
    fw::CRegKeyHandle key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsSubkey, 0, KEY_READ, key.Receive()) ==
               ERROR_SUCCESS &&
           ReadInstallationId(key.Get(), id);
}

// Who is offered the version, and whether the updater on this computer is.
void PrintRollout(const UpdateInfo& info)
{
    if (!info.rolloutTenths)
    {
        std::printf("rollout            everyone\n");
        std::fflush(stdout);
        return;
    }
    std::printf("rollout            %s %% of installations\n",
                RolloutPercentText(*info.rolloutTenths).c_str());
    InstallationId id;
    if (!ReadOwnInstallationId(id))
    {
        std::printf("this computer      has no installation identity yet; the updater makes one "
                    "on its next run\n");
    }
    else
    {
        const uint32_t bucket = RolloutBucket(id, VersionNumber(info.versionText));
        std::printf("this computer      %s (bucket %lu of %lu)\n",
                    IsInRolloutShare(bucket, *info.rolloutTenths) ? "in the share"
                                                                   : "not in the share",
                    static_cast<unsigned long>(bucket), static_cast<unsigned long>(kRolloutBuckets));
    }
    std::fflush(stdout);
}

// What the updater reads differently from how it is written, or skips.
void WarnOfWhatIsReadOtherwise(const CheckedFile& file, CReport& report)
{
    const UpdateInfo& info = file.info;
    CheckSizeWord(file.reading.sizeWord, &info, report);
    WarnIfReadDifferently(info.versionText, VersionNumber(info.versionText), report);
    if (StartsWithByteOrderMark(file.body))
        report.Warning("the file begins with a UTF-8 byte-order mark: this updater skips it, but "
                       "updaters of earlier releases read the version as 0.0.0.0 and never offer "
                       "the update; save the file without one");
    if (!IsSecureWebAddress(info.releaseNotesUrl))
        report.Warning("the release-notes address " + Quote(info.releaseNotesUrl) +
                       " is not an https:// address: the updater would not show the release "
                       "notes; the rest works");
    const std::vector<std::string>& ignored = file.reading.ignored;
    if (!ignored.empty())
        report.Warning(std::to_string(ignored.size()) +
                       (ignored.size() == 1 ? " more word" : " more words") +
                       " after the fourth field, from " + Quote(ignored[0]) +
                       ": the updater ignores them");
}

void CheckInstaller(const std::string& path, const UpdateInfo& info, CReport& report)
{
    uint64_t cbSize = 0;
    if (!GetInstallerSize(path, report, cbSize))
        return;
    if (cbSize != info.installerSize)
        report.Error("the installer " + Quote(path) + " is " + std::to_string(cbSize) +
                     " bytes but the file announces " + std::to_string(info.installerSize) +
                     ": the updater would delete the download and report a failure");
    Sha256Digest digest;
    if (info.installerSha256 && GetInstallerDigest(path, report, digest) &&
        digest != *info.installerSha256)
        report.Error("the installer " + Quote(path) + " has the SHA-256 " + Sha256ToHex(digest) +
                     " but the file announces " + Sha256ToHex(*info.installerSha256) +
                     ": the updater would delete the download and report a failure");
}

// The public keys as an updater built with them holds them; false when one
// of them cannot be used, as no such updater could be built.
bool LoadPublicKeys(const std::vector<std::string>& paths, CUpdateKeys& keys, CReport& report)
{
    bool bAll = true;
    for (const std::string& path : paths)
    {
        std::string pem;
        if (!ReadSmallFile(path, "public key", report, pem))
        {
            bAll = false;
            continue;
        }
        const std::string key = "the key " + Quote(path);
        const KeyProblem problem = keys.AddPem(pem);
        if (problem == KeyProblem::NotPem)
            report.Error(key + " is not a public key in PEM form (\"-----BEGIN PUBLIC KEY-----\") "
                               "as \"openssl pkey -pubout\" writes it");
        else if (problem == KeyProblem::NotPublicKey)
            report.Error(key + " cannot be read as a public key");
        else if (problem == KeyProblem::NotP256)
            report.Error(key + " is not an EC key on curve P-256");
        bAll = bAll && problem == KeyProblem::None;
    }
    return bAll;
}

std::string Refused(const CUpdateKeys& keys)
{
    return std::string(": an updater built with ") +
           (keys.Count() == 1 ? "this key" : "these keys") + " would reject the file";
}

void ReportTrust(UpdateTrust trust, const CUpdateKeys& keys, CReport& report)
{
    switch (trust)
    {
    case UpdateTrust::Trusted:
        break;
    case UpdateTrust::Unsigned:
        report.Error("the file has no signature= token" + Refused(keys));
        break;
    case UpdateTrust::MalformedSignature:
        report.Error("the signature= token does not hold a DER ECDSA signature" + Refused(keys));
        break;
    case UpdateTrust::BadSignature:
        report.Error(std::string("the signature was not made over this file's bytes by ") +
                     (keys.Count() == 1 ? "this key" : "any of these keys") +
                     ": the file was changed after it was signed, or signed with another key" +
                     Refused(keys));
        break;
    case UpdateTrust::NoDigest:
        report.Error("the file is signed but has no sha256= token with the installer's SHA-256" +
                     Refused(keys));
        break;
    }
}

// http to this computer itself never leaves it, and counts as secure.
void ReportInsecureAddress(const std::string& what, const std::string& url, CReport& report)
{
    report.Error(what + " " + Quote(url) +
                 " is not an https:// address: the updater would reject the file before "
                 "downloading anything");
}

// Every address the installer may come from, each named.
void ReportInsecureAddresses(const UpdateInfo& info, CReport& report)
{
    if (!IsSecureWebAddress(info.installerUrl))
        ReportInsecureAddress("the installer address (field 4)", info.installerUrl, report);
    for (const std::string& mirror : info.mirrors)
    {
        if (!IsSecureWebAddress(mirror))
            ReportInsecureAddress("the mirror", mirror, report);
    }
}

void ReportNoExpiry(bool bKeys, const CUpdateKeys& keys, CReport& report)
{
    const std::string what = "the file has no expires= token";
    const std::string again = "; write it again with --expires-in DAYS";
    if (bKeys)
        report.Error(what + Refused(keys) + again);
    else
        report.Warning(what + ": updaters built with the publisher's keys would reject it, and "
                              "a copy of it could be served for ever" + again);
}

void ReportExpired(const UpdateInfo& info, uint64_t now, CReport& report)
{
    report.Error("the file expired at " + UtcTimeText(*info.expires) + ", " +
                 Duration(now - *info.expires) +
                 " ago: the updater would refuse it; sign it again with a later expiry "
                 "(write --expires-in DAYS)");
}

// The updater stops at its first refusal; the publisher hears of every one
// the file earns, so the checks the decision skips after it are made here.
void ReportDecision(const UpdateFacts& facts, const CUpdateKeys& keys, const CheckedFile& file,
                    CReport& report)
{
    const UpdateInfo& info = file.info;
    const UpdateVerdict verdict = DecideUpdate(facts).verdict;
    if (verdict == UpdateVerdict::Unreadable || verdict == UpdateVerdict::NotWebAddress)
    {
        ExplainRejection(file.path, file.reading, report);
        return;
    }
    if (verdict == UpdateVerdict::Untrusted)
        ReportTrust(facts.trust, keys, report);
    if (!info.expires && (facts.bKeysBuiltIn || info.signature))
        ReportNoExpiry(facts.bKeysBuiltIn, keys, report);
    ReportInsecureAddresses(info, report);
    if (HasExpired(info, facts.now))
        ReportExpired(info, facts.now, report);
}

// What an updater built with the keys makes of the signature. With a key
// that cannot be used the signature goes unchecked, and the rest is still
// decided.
void AskKeys(const std::vector<std::string>& keyPaths, const UpdateInfo& info, CUpdateKeys& keys,
             UpdateFacts& facts, CReport& report)
{
    if (keyPaths.empty() || !LoadPublicKeys(keyPaths, keys, report))
        return;
    facts.bKeysBuiltIn = true;
    facts.trust = keys.Check(info);
    if (facts.trust == UpdateTrust::Trusted)
    {
        std::printf("signature          valid\n");
        std::fflush(stdout);
    }
}

} // namespace

int RunCheck(int argc, char** argv)
{
    CommandLine line;
    std::string problem;
    if (!ParseCommandLine(argc, argv, {{"--installer", "--key"}, "--key"}, line, problem))
        return UsageError(problem);
    if (line.positional.size() != 1)
        return UsageError(line.positional.empty() ? "check needs the file to check"
                                                  : "check takes one file");
    CReport report;
    CheckedFile file;
    file.path = line.positional[0];
    if (!ReadSmallFile(file.path, "update-information file", report, file.body))
        return report.ExitCode();

    // As a user's own request to the updater: any version is newer than none.
    UpdateFacts facts;
    facts.now = fw::NowTicks();
    facts.mode = RunMode::Manual;
    if (ReadUpdateInfo(file.body.data(), file.body.size(), file.info, file.reading))
        facts.pInfo = &file.info;
    facts.fault = file.reading.fault;
    CUpdateKeys keys;
    if (facts.pInfo != nullptr)
    {
        PrintFields(file.info, facts.now);
        PrintRollout(file.info);
        WarnOfWhatIsReadOtherwise(file, report);
        const auto installer = line.options.find("--installer");
        if (installer != line.options.end())
            CheckInstaller(installer->second, file.info, report);
        AskKeys(line.repeated, file.info, keys, facts, report);
    }
    ReportDecision(facts, keys, file, report);
    if (line.repeated.empty() && file.info.signature)
        report.Note("the file is signed; give the public keys with --key to verify it");
    return report.ExitCode();
}

} // namespace infotool
