// What the updater accepts as update information. With the publisher's
// public keys built in, only information signed by one of them and carrying
// the installer's digest; without keys, whatever reads as update
// information (a digest in it is still checked against the installer).
#pragma once

#include "update/wizard/update_info.h"

// The PEM texts of the keys built in at configure time, ending with null.
extern const char* const g_rgpszUpdatePublicKeys[];

// Whether the publisher's keys are built in: the publisher signs, and
// nothing that an unsigned connection could change is taken.
bool UpdatesAreSigned();

bool IsTrustedUpdateInfo(const UpdateInfo& info);
