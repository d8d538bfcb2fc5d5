#include "update/info/update_decision.h"

#include "update/info/rollout.h"
#include "update/info/web_address.h"

namespace {

UpdateDecision Verdict(UpdateVerdict verdict, const VersionNumber& offered = VersionNumber())
{
    UpdateDecision decision;
    decision.verdict = verdict;
    decision.offered = offered;
    return decision;
}

// Every address the installer may come from: a mirror is no less trusted.
bool AreAddressesSecure(const UpdateInfo& info)
{
    if (!IsSecureWebAddress(info.installerUrl))
        return false;
    for (const std::string& mirror : info.mirrors)
    {
        if (!IsSecureWebAddress(mirror))
            return false;
    }
    return true;
}

// A started update went in once the installed version is at least its own;
// until then it is worth saying, for a while, and only while nothing newer
// has come.
PendingUpdate JudgePending(const UpdateFacts& facts, const VersionNumber& offered)
{
    if (facts.pending.IsSameAs(VersionNumber()))
        return PendingUpdate::None;
    const bool bLately = facts.now >= facts.pendingSince &&
                         facts.now - facts.pendingSince <= kPendingDays * kTicksPerDay;
    if (!facts.installed.IsOlderThan(facts.pending) || !bLately || offered.IsNewerThan(facts.pending))
        return PendingUpdate::Forget;
    return PendingUpdate::NotInstalled;
}

// On a schedule, a release staged for a share reaches only the installations
// in it; the user who asks gets it at once.
bool IsStagedAway(const UpdateFacts& facts, const UpdateInfo& info)
{
    if (facts.mode == RunMode::Manual || !info.rolloutTenths)
        return false;
    return !facts.rolloutBucket || !IsInRolloutShare(*facts.rolloutBucket, *info.rolloutTenths);
}

} // namespace

UpdateDecision DecideUpdate(const UpdateFacts& facts)
{
    if (facts.pInfo == nullptr)
        return Verdict(facts.fault == UpdateInfoFault::InstallerAddress ? UpdateVerdict::NotWebAddress
                                                                        : UpdateVerdict::Unreadable);
    const UpdateInfo& info = *facts.pInfo;
    const VersionNumber offered(info.versionText);
    if (facts.bKeysBuiltIn && facts.trust != UpdateTrust::Trusted)
        return Verdict(UpdateVerdict::Untrusted, offered);
    // A signed file that never expires could be served for ever, and would
    // hide every later release.
    if (facts.bKeysBuiltIn && !info.expires)
        return Verdict(UpdateVerdict::NoExpiry, offered);
    // The installer comes only over a connection that nobody on the way can
    // read or change. With keys, a swapped installer would be caught by its
    // digest, but only once all of it had come; without them, the
    // connection is all that protects it. The same holds for each mirror.
    if (!AreAddressesSecure(info))
        return Verdict(UpdateVerdict::InsecureAddress, offered);
    if (info.expires && facts.now >= *info.expires)
        return Verdict(UpdateVerdict::Expired, offered);

    // Without keys anyone can announce any version, so nothing is
    // remembered there.
    UpdateDecision decision = Verdict(UpdateVerdict::NothingNew, offered);
    if (facts.bKeysBuiltIn)
    {
        if (offered.IsOlderThan(facts.highest))
            return Verdict(UpdateVerdict::RolledBack, offered);
        decision.bNewHighest = offered.IsNewerThan(facts.highest);
    }
    // The user asked: whatever is newer than installed. On a schedule, only
    // what was not offered before, so that a skipped version stays skipped;
    // but one whose installer was started and did not install is offered
    // again.
    decision.pending = JudgePending(facts, offered);
    const bool bAgain =
        decision.pending == PendingUpdate::NotInstalled && offered.IsSameAs(facts.pending);
    const VersionNumber& baseline =
        facts.mode == RunMode::Manual || bAgain ? facts.installed : facts.announced;
    if (!offered.IsNewerThan(baseline))
        return decision;
    if (!facts.policy.AllowsVersion(offered))
        decision.verdict = UpdateVerdict::HeldByPolicy;
    else if (IsStagedAway(facts, info))
        decision.verdict = UpdateVerdict::OutsideRollout;
    else
        decision.verdict = UpdateVerdict::Offer;
    return decision;
}

RunStart DecideRunStart(const UpdatePolicy& policy, RunMode mode)
{
    // Nothing is fetched or stored when the organisation says no: the user
    // who asked is told why, a scheduled run simply does not happen.
    if (policy.updates == UpdatesAllowed::None)
        return mode == RunMode::Manual ? RunStart::TurnedOff : RunStart::EndSilently;
    if (policy.updates == UpdatesAllowed::ManualOnly && mode == RunMode::Automatic)
        return RunStart::EndSilently;
    return RunStart::Check;
}

bool IsTaken(UpdateVerdict verdict)
{
    return verdict == UpdateVerdict::Offer || verdict == UpdateVerdict::NothingNew ||
           verdict == UpdateVerdict::HeldByPolicy || verdict == UpdateVerdict::OutsideRollout;
}
