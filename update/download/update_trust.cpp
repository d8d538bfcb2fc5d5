#include "update/download/update_trust.h"

#include "update/download/update_signature.h"

bool UpdatesAreSigned()
{
    return g_rgUpdatePublicKeys[0].pbDer != nullptr;
}

bool IsTrustedUpdateInfo(const UpdateInfo& info)
{
    if (!UpdatesAreSigned())
        return true;
    // A built-in key this system cannot read verifies nothing, but it still
    // means the publisher signs: with no key left, nothing is trusted.
    CUpdateKeys keys;
    for (const UpdatePublicKey* pKey = g_rgUpdatePublicKeys; pKey->pbDer != nullptr; ++pKey)
        keys.AddDer(pKey->pbDer, pKey->cbDer);
    return keys.Check(info) == UpdateTrust::Trusted;
}
