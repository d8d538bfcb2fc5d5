// What the updater accepts as update information. With the publisher's
// public keys built in, only information signed by one of them and carrying
// the installer's digest; without keys, whatever reads as update
// information (a digest in it is still checked against the installer).
#pragma once

#include "update/wizard/update_info.h"

// One key built in at configure time: the DER bytes of its
// SubjectPublicKeyInfo, as "openssl pkey -pubin -outform DER" writes them.
struct UpdatePublicKey
{
    const unsigned char* pbDer;
    unsigned long cbDer;
};

// The keys built in, ending with an entry without bytes.
extern const UpdatePublicKey g_rgUpdatePublicKeys[];

// Whether the publisher's keys are built in: the publisher signs, and
// nothing that an unsigned connection could change is taken.
bool UpdatesAreSigned();

// Whether the publisher's keys are built in: the publisher signs, and
// nothing that an unsigned connection could change is taken.
bool UpdatesAreSigned();

bool IsTrustedUpdateInfo(const UpdateInfo& info);
