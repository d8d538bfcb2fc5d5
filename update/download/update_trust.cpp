#include "update/download/update_trust.h"

#include "update/download/update_signature.h"

bool UpdatesAreSigned()
{
    return g_rgpszUpdatePublicKeys[0] != nullptr;
}

bool IsTrustedUpdateInfo(const UpdateInfo& info)
{
    if (!UpdatesAreSigned())
        return true;
    // A built-in key this system cannot read verifies nothing, but it still
    // means the publisher signs: with no key left, nothing is trusted.
    CUpdateKeys keys;
    for (const char* const* ppszPem = g_rgpszUpdatePublicKeys; *ppszPem != nullptr; ++ppszPem)
        keys.AddPem(*ppszPem);
    return keys.Check(info) == UpdateTrust::Trusted;
}
