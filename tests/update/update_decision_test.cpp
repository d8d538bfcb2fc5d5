#include "update/info/update_decision.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kNow = 1000 * kTicksPerDay;

// One row: what came and what this installation remembers, and the answer.
struct DecisionCase
{
    const char* pszName;
    UpdateInfoFault fault; // None: the body read
    bool bKeys;
    UpdateTrust trust;
    const char* pszInstallerUrl;
    uint64_t expires; // 0: no expires= token
    const char* pszHighest;
    const char* pszInstalled;
    const char* pszAnnounced;
    RunMode mode;
    UpdateVerdict verdict;
    bool bNewHighest;
    const char* pszMirror; // null: none; else the second mirror, after a secure one
    const char* pszPrefix; // null: any version; else the organisation's target prefix
};

constexpr auto F = UpdateInfoFault::None;
constexpr auto T = UpdateTrust::Trusted;
constexpr auto A = RunMode::Automatic;
constexpr auto M = RunMode::Manual;
constexpr const char* kHttps = "https://e.test/setup.exe";
constexpr const char* kHttp = "http://e.test/setup.exe";
constexpr uint64_t kLater = kNow + kTicksPerDay;

// The body always announces 2.5.0.301.
const DecisionCase kCases[] = {
    {"not update information", UpdateInfoFault::Fields, true, T, kHttps, 0, "0.0.0", "2.4.2", "0.0.0", M,
     UpdateVerdict::Unreadable, false},
    {"installer not a web address", UpdateInfoFault::InstallerAddress, false, T, kHttps, 0, "0.0.0",
     "2.4.2", "0.0.0", M, UpdateVerdict::NotWebAddress, false},
    {"keys, bad signature", F, true, UpdateTrust::BadSignature, kHttps, kLater, "0.0.0", "2.4.2",
     "0.0.0", M, UpdateVerdict::Untrusted, false},
    {"keys, unsigned", F, true, UpdateTrust::Unsigned, kHttps, kLater, "0.0.0", "2.4.2", "0.0.0", A,
     UpdateVerdict::Untrusted, false},
    {"keys, never expiring", F, true, T, kHttps, 0, "0.0.0", "2.4.2", "0.0.0", A,
     UpdateVerdict::NoExpiry, false},
    {"keys, installer over plain http", F, true, T, kHttp, kLater, "0.0.0", "2.4.2", "0.0.0", M,
     UpdateVerdict::InsecureAddress, false},
    {"no keys, installer over plain http", F, false, UpdateTrust::Unsigned, kHttp, 0, "0.0.0",
     "2.4.2", "0.0.0", M, UpdateVerdict::InsecureAddress, false},
    {"keys, a mirror over plain http", F, true, T, kHttps, kLater, "0.0.0", "2.4.2", "0.0.0", M,
     UpdateVerdict::InsecureAddress, false, kHttp},
    {"no keys, a mirror over plain http", F, false, UpdateTrust::Unsigned, kHttps, 0, "0.0.0",
     "2.4.2", "0.0.0", M, UpdateVerdict::InsecureAddress, false, kHttp},
    {"keys, mirrors over https and loopback http", F, true, T, kHttps, kLater, "0.0.0", "2.4.2",
     "0.0.0", M, UpdateVerdict::Offer, true, "http://127.0.0.1/setup.exe"},
    {"expired at this very tick", F, true, T, kHttps, kNow, "0.0.0", "2.4.2", "0.0.0", M,
     UpdateVerdict::Expired, false},
    {"expired without keys", F, false, UpdateTrust::Unsigned, kHttps, kNow - 1, "0.0.0", "2.4.2",
     "0.0.0", A, UpdateVerdict::Expired, false},
    {"keys, older than announced before", F, true, T, kHttps, kLater, "2.6.0", "2.4.2", "0.0.0", M,
     UpdateVerdict::RolledBack, false},
    {"keys, newer: offered and remembered", F, true, T, kHttps, kLater, "2.4.9", "2.4.2", "0.0.0", A,
     UpdateVerdict::Offer, true},
    {"keys, the highest again: nothing to remember", F, true, T, kHttps, kLater, "2.5.0", "2.4.2",
     "0.0.0", M, UpdateVerdict::Offer, false},
    {"no keys: rollback not judged, nothing remembered", F, false, UpdateTrust::Unsigned, kHttps, 0,
     "2.6.0", "2.4.2", "0.0.0", M, UpdateVerdict::Offer, false},
    {"manual, already installed", F, true, T, kHttps, kLater, "2.5.0", "2.5.0", "0.0.0", M,
     UpdateVerdict::NothingNew, false},
    {"manual, offered on a schedule before", F, true, T, kHttps, kLater, "2.5.0", "2.4.2", "2.5.0",
     M, UpdateVerdict::Offer, false},
    {"automatic, offered before", F, true, T, kHttps, kLater, "2.5.0", "2.4.2", "2.5.0", A,
     UpdateVerdict::NothingNew, false},
    {"automatic, newer than offered before", F, false, UpdateTrust::Unsigned, kHttps, 0, "0.0.0",
     "2.4.2", "2.4.9", A, UpdateVerdict::Offer, false},
    {"newer, outside the version allowed: held, still remembered", F, true, T, kHttps, kLater,
     "2.4.9", "2.4.2", "0.0.0", M, UpdateVerdict::HeldByPolicy, true, nullptr, "2.4"},
    {"newer, a major version allowed", F, true, T, kHttps, kLater, "0.0.0", "2.4.2", "0.0.0", A,
     UpdateVerdict::Offer, true, nullptr, "2"},
    {"numbers, not text: 2.5 is no prefix of 25.0", F, false, UpdateTrust::Unsigned, kHttps, 0,
     "0.0.0", "2.4.2", "0.0.0", M, UpdateVerdict::HeldByPolicy, false, nullptr, "25"},
    {"all four numbers allowed", F, false, UpdateTrust::Unsigned, kHttps, 0, "0.0.0", "2.4.2",
     "0.0.0", M, UpdateVerdict::Offer, false, nullptr, "2.5.0.301"},
    {"outside the version allowed, but nothing newer anyway", F, true, T, kHttps, kLater, "2.5.0",
     "2.5.0", "0.0.0", M, UpdateVerdict::NothingNew, false, nullptr, "2.4"},
    {"untrusted, whatever the version allowed", F, true, UpdateTrust::Unsigned, kHttps,
     kLater, "0.0.0", "2.4.2", "0.0.0", M, UpdateVerdict::Untrusted, false, nullptr, "2.4"},
};

TEST(UpdateDecision, EachReasonFromItsInputs)
{
    for (const DecisionCase& row : kCases)
    {
        SCOPED_TRACE(row.pszName);
        UpdateInfo info;
        info.versionText = "2.5.0.301";
        info.installerUrl = row.pszInstallerUrl;
        if (row.expires != 0)
            info.expires = row.expires;
        if (row.pszMirror != nullptr)
            info.mirrors = {"https://m.test/setup.exe", row.pszMirror};
        UpdateFacts facts;
        facts.pInfo = row.fault == F ? &info : nullptr;
        facts.fault = row.fault;
        facts.bKeysBuiltIn = row.bKeys;
        facts.trust = row.trust;
        facts.now = kNow;
        facts.highest = VersionNumber(row.pszHighest);
        facts.installed = VersionNumber(row.pszInstalled);
        facts.announced = VersionNumber(row.pszAnnounced);
        facts.mode = row.mode;
        if (row.pszPrefix != nullptr)
        {
            ASSERT_TRUE(TakePolicyValue(PolicyValueId::TargetVersionPrefix,
                                        {kPolicyRegSz, row.pszPrefix}, facts.policy));
        }

        const UpdateDecision decision = DecideUpdate(facts);
        EXPECT_EQ(decision.verdict, row.verdict);
        EXPECT_EQ(decision.bNewHighest, row.bNewHighest);
        if (row.fault == F)
        {
            EXPECT_EQ(decision.offered.Text(), "2.5.0.301");
        }
    }
}

TEST(UpdateDecision, PolicyDecidesWhetherARunChecksAtAll)
{
    const struct
    {
        UpdatesAllowed updates;
        RunStart automatic;
        RunStart manual;
    } rows[] = {
        {UpdatesAllowed::All, RunStart::Check, RunStart::Check},
        {UpdatesAllowed::None, RunStart::EndSilently, RunStart::TurnedOff},
        {UpdatesAllowed::ManualOnly, RunStart::EndSilently, RunStart::Check},
    };
    for (const auto& row : rows)
    {
        UpdatePolicy policy;
        policy.updates = row.updates;
        EXPECT_EQ(DecideRunStart(policy, RunMode::Automatic), row.automatic);
        EXPECT_EQ(DecideRunStart(policy, RunMode::Manual), row.manual);
    }
}

TEST(UpdateDecision, StagedReleasesAndUpdatesStartedBefore)
{
    constexpr int kNone = -1;
    const struct
    {
        const char* pszName;
        RunMode mode;
        int rolloutTenths; // kNone: no rollout= token
        int bucket;        // kNone: the installation's bucket could not be had
        const char* pszInstalled;
        const char* pszAnnounced;
        const char* pszPending; // "0.0.0": nothing was started
        int daysAgo; // below 0: a time ahead of the clock
        UpdateVerdict verdict;
        PendingUpdate pending;
    } rows[] = {
        {"no token: everyone", A, kNone, kNone, "2.4.2", "2.4.2", "0.0.0", 0, UpdateVerdict::Offer,
         PendingUpdate::None},
        {"in a 12.5 % share", A, 125, 1249, "2.4.2", "2.4.2", "0.0.0", 0, UpdateVerdict::Offer,
         PendingUpdate::None},
        {"just outside it", A, 125, 1250, "2.4.2", "2.4.2", "0.0.0", 0, UpdateVerdict::OutsideRollout,
         PendingUpdate::None},
        {"halted", A, 0, 0, "2.4.2", "2.4.2", "0.0.0", 0, UpdateVerdict::OutsideRollout,
         PendingUpdate::None},
        {"no bucket keeps it out", A, 1000, kNone, "2.4.2", "2.4.2", "0.0.0", 0,
         UpdateVerdict::OutsideRollout, PendingUpdate::None},
        {"the user asked", M, 0, 0, "2.4.2", "2.4.2", "0.0.0", 0, UpdateVerdict::Offer,
         PendingUpdate::None},
        {"started, not installed: offered again", A, kNone, kNone, "2.4.2", "2.5.0", "2.5.0", 3,
         UpdateVerdict::Offer, PendingUpdate::NotInstalled},
        {"started, not installed, but halted since", A, 0, 0, "2.4.2", "2.5.0", "2.5.0", 3,
         UpdateVerdict::OutsideRollout, PendingUpdate::NotInstalled},
        {"started, not installed, asked", M, kNone, kNone, "2.4.2", "2.5.0", "2.5.0", 14,
         UpdateVerdict::Offer, PendingUpdate::NotInstalled},
        {"started too long ago", A, kNone, kNone, "2.4.2", "2.5.0", "2.5.0", 15,
         UpdateVerdict::NothingNew, PendingUpdate::Forget},
        {"started on a clock that went back", A, kNone, kNone, "2.4.2", "2.5.0", "2.5.0", -1,
         UpdateVerdict::NothingNew, PendingUpdate::Forget},
        {"installed", A, kNone, kNone, "2.5.0", "2.5.0", "2.5.0", 1, UpdateVerdict::NothingNew,
         PendingUpdate::Forget},
        {"a newer one offered", A, kNone, kNone, "2.4.2", "2.4.9", "2.4.9", 1, UpdateVerdict::Offer,
         PendingUpdate::Forget},
    };
    UpdateInfo info;
    info.versionText = "2.5.0.301";
    info.installerUrl = kHttps;
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszName);
        if (row.rolloutTenths != kNone)
            info.rolloutTenths = static_cast<uint16_t>(row.rolloutTenths);
        else
            info.rolloutTenths.reset();
        UpdateFacts facts;
        facts.pInfo = &info;
        facts.now = kNow;
        facts.installed = VersionNumber(row.pszInstalled);
        facts.announced = VersionNumber(row.pszAnnounced);
        facts.mode = row.mode;
        if (row.bucket != kNone)
            facts.rolloutBucket = static_cast<uint32_t>(row.bucket);
        facts.pending = VersionNumber(row.pszPending);
        facts.pendingSince = static_cast<uint64_t>(static_cast<int64_t>(kNow) -
                                                   row.daysAgo * static_cast<int64_t>(kTicksPerDay));
        const UpdateDecision decision = DecideUpdate(facts);
        EXPECT_EQ(decision.verdict, row.verdict);
        EXPECT_EQ(decision.pending, row.pending);
    }
}

} // namespace
