// The publisher's public keys built into the updater at configure time.
// With keys, only information signed by one of them and carrying the
// installer's digest is taken; without keys, whatever reads as update
// information (a digest in it is still checked against the installer).
#pragma once

#include "update/info/signature_verdict.h"
#include "update/info/update_info.h"

// One key: the DER bytes of its SubjectPublicKeyInfo, as
// "openssl pkey -pubin -outform DER" writes them.
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

// What the built-in keys make of the information.
UpdateTrust CheckWithBuiltInKeys(const UpdateInfo& info);
