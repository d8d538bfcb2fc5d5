// Native fuzz target for the updater's two readers of network text: the
// update information with its digest, expiry and signature tokens, and the
// version it names. Built with the host compiler by scripts/fuzz, never for
// the target.
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/info/version_number.h"
#include "update/info/update_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    const char* pText = reinterpret_cast<const char*>(pData);
    if (cbData > kMaxUpdateInfoSize)
        return 0;

    UpdateInfo info;
    if (ReadUpdateInfo(pText, cbData, info))
    {
        VersionNumber published;
        published.Parse(info.versionText);
        const VersionNumber installed("2.4.2.218");
        // The three comparisons always agree with each other.
        const int nTrue = published.IsNewerThan(installed) + published.IsSameAs(installed) +
                          published.IsOlderThan(installed);
        if (nTrue != 1)
            __builtin_trap();
        if (VersionNumber(published.Text()).Text() != published.Text())
            __builtin_trap();
        // A signature signs exactly the bytes before its own token.
        if (info.signature &&
            (info.signedBytes.size() >= cbData ||
             info.signedBytes.compare(0, std::string::npos, pText, info.signedBytes.size()) != 0 ||
             std::string(pText + info.signedBytes.size(), cbData - info.signedBytes.size())
                     .compare(0, sizeof(kSignatureToken) - 1, kSignatureToken) != 0))
            __builtin_trap();
        if (!info.signature && !info.signedBytes.empty())
            __builtin_trap();
        // Only a web address is ever given to the shell as the installer's.
        if (!IsWebAddress(info.installerUrl))
            __builtin_trap();
        // An expiry reads back from the one spelling it is written in.
        uint64_t ticks = 0;
        if (info.expires &&
            (!ParseUtcTime(UtcTimeText(*info.expires), ticks) || ticks != *info.expires))
            __builtin_trap();
    }

    // The raw bytes as a version text, the way the registry gives one.
    const std::string text(pText, cbData);
    VersionNumber version(text);
    (void)version.IsNewerThan(VersionNumber());
    return 0;
}
