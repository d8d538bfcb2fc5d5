// What the publisher's public keys make of one update information. The
// keys are checked with Windows' own cryptography; the verdict is a plain
// value, so that the decision over it stays portable.
#pragma once

enum class UpdateTrust
{
    Trusted,            // signed by one of the keys, with the installer's digest
    Unsigned,           // no signature token
    MalformedSignature, // the token's bytes are not a DER ECDSA signature
    BadSignature,       // none of the keys made this signature over these bytes
    NoDigest,           // a good signature, but no sha256= token to check the installer with
};
