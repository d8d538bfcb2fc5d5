// Whether update information that came from the server is taken, and
// whether it offers this installation a new version: the one place that
// decides, asked by the check page and by the publisher's check alike. A
// function over plain values (what was read, what the keys made of it, the
// clock, what this installation remembers), so that every reason can be
// tried without a server, a registry or a key.
//
// Plain portable C++ without Windows headers.
#pragma once

#include <cstdint>
#include <optional>

#include "update/info/signature_verdict.h"
#include "update/info/update_info.h"
#include "update/info/update_policy.h"
#include "update/info/version_number.h"

enum class RunMode
{
    Automatic, // started on a schedule: offers only what was not offered before
    Manual,    // started by the user: offers whatever is newer than installed
};

// The answer; every refusal has a failure line of its own.
enum class UpdateVerdict
{
    Offer,           // taken, and it announces a version to offer
    NothingNew,      // taken, but there is nothing newer to offer
    Unreadable,      // the body is not update information
    NotWebAddress,   // the installer's address is not an http or https address
    Untrusted,       // keys are built in, and none of them vouches for it
    NoExpiry,        // keys are built in, and the signed file never expires
    InsecureAddress, // the installer or a mirror would come over plain http from another host
    Expired,         // its expiry time has passed: it may be an old file served again
    RolledBack,      // signed, but announcing less than signed information did before
    HeldByPolicy,    // taken, and newer, but outside the version the organisation allows
    OutsideRollout,  // taken, and newer, but staged for a share of installations without this one
};

// What becomes of an update that an earlier run started the installer of.
enum class PendingUpdate
{
    None,         // nothing was started, or the information was not taken
    Forget,       // it went in, or it is too old, or a newer version is offered
    NotInstalled, // started lately but not installed: said, and offered again
};

// How long a started update counts as not installed rather than forgotten.
constexpr uint64_t kPendingDays = 14;

// Whether a run checks at all, before anything is fetched or stored.
enum class RunStart
{
    Check,       // fetch the update information
    EndSilently, // an automatic run that the organisation's policy does not allow
    TurnedOff,   // a manual run, with updates turned off by the organisation
};

RunStart DecideRunStart(const UpdatePolicy& policy, RunMode mode);

struct UpdateFacts
{
    // What the reader made of the body: the information, or null and why not.
    const UpdateInfo* pInfo = nullptr;
    UpdateInfoFault fault = UpdateInfoFault::None;
    // Whether the publisher's keys are built in, and what they made of it.
    bool bKeysBuiltIn = false;
    UpdateTrust trust = UpdateTrust::Unsigned;
    // Now, in UTC ticks since 1601.
    uint64_t now = 0;
    // The highest version that signed information has announced here.
    VersionNumber highest;
    // The product's installed version, and the one automatic runs last
    // offered.
    VersionNumber installed;
    VersionNumber announced;
    RunMode mode = RunMode::Automatic;
    // What the organisation allows; the publisher's own check has none.
    UpdatePolicy policy;
    // This installation's bucket for the offered version, where the
    // information stages its release and the run is automatic; none when
    // it could not be had, which keeps the installation out.
    std::optional<uint32_t> rolloutBucket;
    // The version whose installer an earlier run started, and when; 0.0.0.0
    // for none.
    VersionNumber pending;
    uint64_t pendingSince = 0;
};

struct UpdateDecision
{
    UpdateVerdict verdict = UpdateVerdict::Unreadable;
    // The version the information announces, once it reads.
    VersionNumber offered;
    // Remember offered as the highest version announced: signed information
    // of an older release, served again, must not undo it.
    bool bNewHighest = false;
    PendingUpdate pending = PendingUpdate::None;
};

UpdateDecision DecideUpdate(const UpdateFacts& facts);

// Taken: it read, and nothing about it was refused. A version held back by
// policy or by a staged release is taken, and counts as nothing new.
bool IsTaken(UpdateVerdict verdict);
