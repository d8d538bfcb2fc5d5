// Native fuzz target for the updater's readers of network text: the update
// information with its digest, expiry, mirror, rollout and signature tokens, the version it
// names, and the Content-Range of a resumed download. Built with the host compiler by scripts/fuzz, never for
// the target.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/info/content_range.h"
#include "update/info/rollout.h"
#include "update/info/version_number.h"
#include "update/info/update_info.h"

namespace {

void Check(bool bHolds)
{
    if (!bHolds)
        __builtin_trap();
}

// Two versions order the same way seen from either side, and a version read
// back from its own text orders as the version itself.
void CheckOrder(const VersionNumber& a, const VersionNumber& b)
{
    Check(a.IsNewerThan(b) == b.IsOlderThan(a) && a.IsSameAs(b) == b.IsSameAs(a));
    const VersionNumber again(a.Text());
    Check(again.Text() == a.Text() && again.IsSameAs(a) &&
          again.IsNewerThan(b) == a.IsNewerThan(b) && again.IsOlderThan(b) == a.IsOlderThan(b));
}

// The four fields, written back one a line, read as the same four fields.
void CheckFieldsReadBack(const UpdateInfo& info)
{
    const std::string text = info.versionText + "\r\n" + std::to_string(info.installerSize) +
                             "\r\n" + info.releaseNotesUrl + "\r\n" + info.installerUrl + "\r\n";
    UpdateInfo again;
    Check(ReadUpdateInfo(text.data(), text.size(), again) &&
          again.versionText == info.versionText && again.installerSize == info.installerSize &&
          again.releaseNotesUrl == info.releaseNotesUrl && again.installerUrl == info.installerUrl);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    const char* pText = reinterpret_cast<const char*>(pData);
    if (cbData > kMaxUpdateInfoSize)
        return 0;

    // The raw bytes as a Content-Range: one taken is ordered, reads back from
    // its own spelling, and places a 206 only where it was asked to start.
    const std::string header(pText, cbData);
    ContentRange range;
    if (ParseContentRange(header, range))
    {
        ContentRange again;
        Check(range.first <= range.last && range.last < range.total &&
              ParseContentRange("bytes " + std::to_string(range.first) + "-" +
                                    std::to_string(range.last) + "/" + std::to_string(range.total),
                                again) &&
              again.first == range.first && again.last == range.last && again.total == range.total);
    }
    const auto offset = BodyOffset(206, header, 1000, 5000);
    Check(!offset || *offset == 1000);

    // The raw bytes as a version text, the way the registry gives one.
    const VersionNumber version(std::string(pText, cbData));
    CheckOrder(version, VersionNumber("2.4.2.218"));

    UpdateInfo info;
    if (ReadUpdateInfo(pText, cbData, info))
    {
        VersionNumber published;
        published.Parse(info.versionText);
        CheckOrder(published, VersionNumber("2.4.2.218"));
        CheckOrder(published, version);
        // One that differs in the fourth number only, which no comparison counts.
        VersionNumber sibling(published);
        sibling.nBuild ^= 1;
        sibling.Format();
        CheckOrder(published, sibling);
        CheckFieldsReadBack(info);
        // A signature signs exactly the bytes before its own token.
        const size_t cbSigned = info.signedBytes.size();
        Check(!info.signature ||
              (cbSigned < cbData && info.signedBytes.compare(0, cbSigned, pText, cbSigned) == 0 &&
               std::string(pText + cbSigned, cbData - cbSigned)
                       .compare(0, sizeof(kSignatureToken) - 1, kSignatureToken) == 0));
        Check(info.signature || info.signedBytes.empty());
        // Only a web address is ever given to the shell as the installer's.
        Check(IsWebAddress(info.installerUrl));
        // And only web addresses as its mirrors, few and each once.
        Check(info.mirrors.size() <= kMaxMirrors);
        for (size_t i = 0; i < info.mirrors.size(); ++i)
            Check(IsWebAddress(info.mirrors[i]) &&
                  std::find(info.mirrors.begin(), info.mirrors.begin() + i, info.mirrors[i]) ==
                      info.mirrors.begin() + i);
        // An expiry reads back from the one spelling it is written in.
        uint64_t ticks = 0;
        Check(!info.expires ||
              (ParseUtcTime(UtcTimeText(*info.expires), ticks) && ticks == *info.expires));
        // A rollout is a share of at most everyone, and reads back from the
        // spelling it is shown in.
        uint16_t tenths = 0;
        Check(!info.rolloutTenths ||
              (*info.rolloutTenths <= kMaxRolloutTenths &&
               ParseRolloutPercent(RolloutPercentText(*info.rolloutTenths), tenths) &&
               tenths == *info.rolloutTenths));
    }
    return 0;
}
