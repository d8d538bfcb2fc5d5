#include "update/trust/built_in_keys.h"

#include "update/trust/update_signature.h"

bool UpdatesAreSigned()
{
    return g_rgUpdatePublicKeys[0].pbDer != nullptr;
}

UpdateTrust CheckWithBuiltInKeys(const UpdateInfo& info)
{
    // A built-in key this system cannot read verifies nothing, but it still
    // means the publisher signs: with no key left, nothing is trusted.
    CUpdateKeys keys;
    for (const UpdatePublicKey* pKey = g_rgUpdatePublicKeys; pKey->pbDer != nullptr; ++pKey)
        keys.AddDer(pKey->pbDer, pKey->cbDer);
    return keys.Check(info);
}
